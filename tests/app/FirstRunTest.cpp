// A first run as a user meets it: the install step's values on an empty or
// a used settings store, the windows they give, and the desktop entry.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>

#include "audiotools/frmSplitter.h"
#include "components/audio/cAudioGraph.h"
#include "components/controls/cGrid.h"
#include "components/controls/cTreeView.h"
#include "core/Edition.h"
#include "core/Formats.h"
#include "core/InstallStep.h"
#include "core/Startup.h"
#include "lists/ListFile.h"
#include "mainwindow/frmMain.h"
#include "platform/Colors.h"
#include "platform/ProgramDir.h"
#include "platform/SettingsStore.h"
#include "settings/FormatSettings.h"
#include "settings/Options.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/lists/ListRecords.h"
#include "tests/support/TestEnv.h"
#include "toolframe/frmConverter.h"

using platform::Hive;
using platform::SettingsStore;

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

const QString kMp3 = QStringLiteral("MP3 - MPEG-1 Audio Layer 3 (*.mp3)");

QString machineValue(const QString& subKey, const QString& name)
{
    return SettingsStore::value(Hive::LocalMachine, MachineKeyRoot() + "\\" + subKey, name).value_or("<missing>");
}

bool setMachineValue(const QString& subKey, const QString& name, const QString& value)
{
    return SettingsStore::setValue(Hive::LocalMachine, MachineKeyRoot() + "\\" + subKey, name, value);
}

// Every file of the store with its content and time of change.
QMap<QString, QString> storeSnapshot()
{
    QMap<QString, QString> files;
    QDirIterator it(testenv::registryRoot(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        files[path] = QString::fromUtf8(f.readAll()) + "@" +
                      QString::number(it.fileInfo().lastModified().toMSecsSinceEpoch());
    }
    return files;
}

// The contrast ratio of two colours as the accessibility guidelines measure it.
double relativeLuminance(QRgb c)
{
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

double contrastRatio(QRgb a, QRgb b)
{
    double la = relativeLuminance(a), lb = relativeLuminance(b);
    if (la < lb)
        std::swap(la, lb);
    return (la + 0.05) / (lb + 0.05);
}

// Reads a title strip from a picture of its window: the strip's colour is
// its most frequent one, the text's colour the one standing out most from
// it among those drawn on a fair number of pixels (so that the edges of
// smoothed letters do not count).
struct StripReading {
    QRgb strip = 0;
    QRgb text = 0;
    int textPixels = 0;
    double contrast = 1.0;
};

StripReading readStrip(const QImage& shot, const QRect& strip)
{
    QHash<QRgb, int> counts;
    for (int y = strip.top(); y <= strip.bottom(); ++y)
        for (int x = strip.left(); x <= strip.right(); ++x)
            ++counts[shot.pixel(x, y) & 0xFFFFFF];
    StripReading r;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            r.strip = it.key();
        }
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const double c = contrastRatio(it.key(), r.strip);
        if (it.value() >= 4 && c > r.contrast) {
            r.contrast = c;
            r.text = it.key();
        }
        if (c >= 3.0)
            r.textPixels += it.value();
    }
    return r;
}

void checkReadableStrip(QWidget* window, QWidget* strip, const QString& keepAs)
{
    const QImage shot = window->grab().toImage();
    const QByteArray keep = qgetenv("KELVANE_HELP_SHOTS");
    if (!keep.isEmpty())
        shot.save(QDir(QString::fromLocal8Bit(keep)).filePath(keepAs));
    const QRect rect(strip->mapTo(window, QPoint(0, 0)), strip->size());
    ASSERT_TRUE(shot.rect().contains(rect));
    const StripReading r = readStrip(shot, rect);
    SCOPED_TRACE(QStringLiteral("strip #%1, text #%2").arg(r.strip, 6, 16, QChar('0')).arg(r.text, 6, 16, QChar('0'))
                     .toStdString());
    EXPECT_EQ(QColor(r.strip), platform::colorFromBgr(g_lAppColor));
    EXPECT_GE(r.textPixels, 30); // the title is drawn, not just a bare strip
    EXPECT_GE(r.contrast, 4.5);
}

// A fresh store in every test: the keys as the install creates them, then
// the first-run values, and the windows loaded from them.
class FirstRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        UnloadMain();
        UnloadOptions();
        UnloadAudioProp();
        QDir(testenv::registryRoot()).removeRecursively();
        QDir().mkpath(testenv::registryRoot());
        SetAppModes();
        ASSERT_TRUE(CreateMachineKeys());
    }
    void TearDown() override
    {
        UnloadMain();
        UnloadOptions();
        UnloadAudioProp();
    }
    // The start-up's order: the two settings dialogs read the store, then the main window.
    FrmMain* startLikeTheProgram()
    {
        frmOptions();
        g_frmAudioProp();
        g_sItemsListDir = lists;
        FrmMain* w = frmMain();
        w->show();
        QApplication::processEvents();
        return w;
    }
    // Empty lists, audio and destination folders, and the list First.flst
    // holding one marked item: a tone of that name and length.
    bool listOfOneTone(const QString& name, double seconds)
    {
        for (const QString& d : {lists, audio, dest}) {
            QDir(d).removeRecursively();
            QDir().mkpath(d);
        }
        const QString tone = fixtures::writeToneWav(audio + name, seconds);
        return !tone.isEmpty() &&
               WriteItemsListFile(lists + "First.flst",
                                  listrec::itemRecord({{"Inc", "1"}, {"Type", "Audio"}, {"Item Name", name},
                                                       {"COL_FILE", tone}, {"COL_RANGE_ALL", "1"}}) +
                                      "\r\n");
    }
    QString lists = testenv::tempRoot() + "/firstrun-lists/";
    QString audio = testenv::tempRoot() + "/firstrun-audio/";
    QString dest = testenv::tempRoot() + "/firstrun-dest/";
};

TEST_F(FirstRun, InstallStepWritesWhatIsMissingAndKeepsWhatIsThere)
{
    ASSERT_TRUE(WriteFirstRunValues(AppPath()));
    const struct {
        const char* subKey;
        const char* name;
        QString value;
    } fresh[] = {
        {"General", "chkDisplayTitle", "1"},
        {"General", "chkDisplayPlayer", "1"},
        {"General", "chkDisplayAudioGraph", "1"},
        {"General", "chkDisplayMSGWhenExit", "0"},
        {"General", "cboTargetFormat", kMp3},
        {"General", "cboFileName", "[file_name].[dest_extension]"},
        {"General", "picColor", "9198123"}, // 0x8C5A2B: red 0x2B, green 0x5A, blue 0x8C
        {"General", "picTextColor", "16777215"},
        {"General", "cboDevices", "-1"},
        {"Display", "picColor", "9198123"},
        {"Events", "chkPlaySound", "0"},
        {"Events", "chkTurnOffComputer", "0"},
        {"Events", "txtPlayAtEnd", AppPath() + "/sound/notify.wav"},
        {"Events", "txtAppNotice", ""},
        {"ID3 Tags", "chkCopyID3FromSource", "1"},
        {"ID3 Tags", "txtTagArtist", ""},
        // Left to the program, which also records it in the path history.
        {"General", "txtToPath", "<missing>"},
    };
    for (const auto& v : fresh)
        EXPECT_EQ(machineValue(v.subKey, v.name), v.value) << v.subKey << "/" << v.name;

    // A second run rewrites nothing.
    const auto before = storeSnapshot();
    QTest::qWait(20);
    ASSERT_TRUE(WriteFirstRunValues(AppPath()));
    EXPECT_EQ(storeSnapshot(), before);

    // A user's choices, an empty text among them, stand; what is missing comes back.
    const struct {
        const char* subKey;
        const char* name;
        QString value;
    } chosen[] = {
        {"General", "picColor", "255"},
        {"General", "picTextColor", "0"},
        {"General", "cboTargetFormat", "WAV - Waveform Audio Format (*.wav)"},
        {"General", "cboFileName", ""},
        {"General", "chkDisplayPlayer", "0"},
        {"Events", "chkPlaySound", "1"},
        {"Events", "txtPlayAtEnd", "/home/me/bell.wav"},
        {"ID3 Tags", "chkCopyID3FromSource", "0"},
    };
    for (const auto& v : chosen)
        ASSERT_TRUE(setMachineValue(v.subKey, v.name, v.value));
    ASSERT_EQ(SettingsStore::deleteValue(Hive::LocalMachine, MachineKeyRoot() + "\\General", "chkDisplayTitle"), 0);
    ASSERT_TRUE(WriteFirstRunValues(AppPath()));
    for (const auto& v : chosen)
        EXPECT_EQ(machineValue(v.subKey, v.name), v.value) << v.subKey << "/" << v.name;
    EXPECT_EQ(machineValue("General", "chkDisplayTitle"), "1");
}

TEST_F(FirstRun, WithoutTheKeysNothingIsWritten)
{
    QDir(testenv::registryRoot()).removeRecursively();
    QDir().mkpath(testenv::registryRoot());
    EXPECT_FALSE(WriteFirstRunValues(AppPath()));
    EXPECT_FALSE(SettingsStore::keyExists(Hive::LocalMachine, MachineKeyRoot() + "\\General"));
}

TEST_F(FirstRun, MainWindowShowsTitlePlayerAndGraphsReadably)
{
    ASSERT_TRUE(WriteFirstRunValues(AppPath()));
    FrmMain* w = startLikeTheProgram();
    EXPECT_TRUE(g_bDisplayTitle);
    EXPECT_TRUE(g_bDisplayPlayer);
    EXPECT_TRUE(g_bDisplayAudioGraph);
    EXPECT_TRUE(w->picTitle->isVisible());
    EXPECT_TRUE(w->picPlayer->isVisible());
    EXPECT_TRUE(w->cAudioGraphAmp->isVisible());
    EXPECT_TRUE(w->cAudioGraphFreq->isVisible());
    checkReadableStrip(w, w->picTitle, "main-window.png");
}

TEST_F(FirstRun, ConverterStartsOnMp3WithATemplateAndWritesMp3Files)
{
    ASSERT_TRUE(WriteFirstRunValues(AppPath()));
    ASSERT_TRUE(listOfOneTone("tone.wav", 2.0));
    FrmMain* w = startLikeTheProgram();
    w->cTreeView1_NodeClick(w->cTreeView1->Nodes().NodeItem(lists + "First.flst"));
    EXPECT_EQ(g_sTargetFormat, kMp3);

    bool ran = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(QTest::qWaitFor([] { return g_frmConverterLoaded() && g_frmConverter()->isVisible(); }));
        ran = true;
        FrmConverter* tool = g_frmConverter();
        EXPECT_EQ(tool->cboTargetFormat->currentText(), kMp3);
        EXPECT_EQ(tool->cboFileName->currentText(), "[file_name].[dest_extension]");
        checkReadableStrip(tool, tool->picTitle, "converter-window.png");
        tool->txtToPath->setEditText(dest);
        tool->chkCreateSubFolder->setChecked(false);
        tool->cmdConvert->click();
        EXPECT_TRUE(QTest::qWaitFor([tool] { return tool->cmdConvert->isEnabled(); }, 120000));
        tool->close();
    });
    w->SendCommand("Audio Converter");
    ASSERT_TRUE(ran);
    const QStringList made = QDir(dest).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(made, QStringList({"tone.mp3"}));
    const fixtures::Probe p = fixtures::probe(dest + "tone.mp3");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.codec, "mp3");
    EXPECT_NEAR(p.seconds, 2.0, 0.1);
}

// Every stored format value, by sub-key and name.
QMap<QString, QString> formatValues()
{
    QMap<QString, QString> out;
    for (const QString& sub : MachineSubKeys()) {
        if (!sub.startsWith("Formats"))
            continue;
        const QString key = MachineKeyRoot() + "\\" + sub;
        for (const QString& name : SettingsStore::valueNames(Hive::LocalMachine, key))
            out[sub + "/" + name] = SettingsStore::value(Hive::LocalMachine, key, name).value_or("<missing>");
    }
    return out;
}

// A fresh install starts every format where the Audio Format dialog starts,
// with CD audio for WAV: a stereo file splits into stereo WAV parts.
TEST_F(FirstRun, FormatSettingsStartAsTheAudioFormatDialogAndWavStaysStereo)
{
    ASSERT_TRUE(WriteFirstRunValues(AppPath()));
    const QMap<QString, QString> seeded = formatValues();
    g_lAppIncSplit = 1;
    ASSERT_TRUE(listOfOneTone("take.wav", 4.0));
    FrmMain* w = startLikeTheProgram();

    EXPECT_EQ(g_lSamplesWAV, 44100);
    EXPECT_EQ(g_lBitrateWAV, 16);
    EXPECT_EQ(g_lChannelsWAV, 1); // stereo
    EXPECT_EQ(g_sACMTag, "PCM");
    EXPECT_EQ(g_sACMFormat, "44100 Hz, 16 bit, Stereo");
    EXPECT_EQ(g_lMP3Bitrate, 128);
    EXPECT_EQ(g_lMP3Quality, 5);
    EXPECT_EQ(g_lMP3Samplerate, 44100);
    EXPECT_EQ(g_lMP3Mode, 0);
    EXPECT_FALSE(g_bMP3ErrorProtect);
    EXPECT_TRUE(g_bMP3Original);
    EXPECT_TRUE(g_bMP3Copyright);
    EXPECT_FALSE(g_bMP3StrictISO);
    EXPECT_EQ(g_lMP3VBRQuality, 5);
    EXPECT_EQ(g_lMP3MinBitrate, 9);
    EXPECT_EQ(g_lMP3MaxBitrate, 11);
    EXPECT_TRUE(g_bMP3VBRTag);
    EXPECT_FALSE(g_bMP3VBRForceMinBitrate);
    EXPECT_FALSE(g_bMP3ABR);
    EXPECT_EQ(g_lMP3ABRBitrate, 96);
    EXPECT_EQ(g_lWMACodecs, 0);
    EXPECT_EQ(g_lWMAFormat, 0);
    EXPECT_TRUE(g_bQualityOGG);
    EXPECT_EQ(g_lOGGQuality, 50);
    EXPECT_FALSE(g_bOGGBitrate);
    EXPECT_EQ(g_lOGGBitNom, 32);
    EXPECT_EQ(g_lAPELevel, 0);
    EXPECT_FALSE(g_frmAudioProp()->picMP3Advanced->isVisibleTo(g_frmAudioProp()));

    // The seeds are the dialog's own stored forms: its OK writes them back unchanged.
    g_frmAudioProp()->cmdOk->click();
    EXPECT_EQ(formatValues(), seeded);

    w->cTreeView1_NodeClick(w->cTreeView1->Nodes().NodeItem(lists + "First.flst"));
    w->cGrid1->setSelectedRow(1);
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(QTest::qWaitFor([] { return g_frmSplitterLoaded() && g_frmSplitter()->isVisible(); }));
        ran = true;
        FrmSplitter* tool = g_frmSplitter();
        for (int i = 0; i < tool->cboTargetFormat->count(); ++i)
            if (tool->cboTargetFormat->itemText(i).startsWith("WAV"))
                tool->cboTargetFormat->setCurrentIndex(i);
        tool->txtToPath->setEditText(dest);
        tool->chkCreateSubFolder->setChecked(false);
        tool->ptnSplitByParts->setChecked(true);
        tool->txtSplitParts->setText("2");
        tool->cmdConvert->click();
        EXPECT_TRUE(QTest::qWaitFor([tool] { return tool->cmdConvert->isEnabled(); }, 120000));
        tool->close();
    });
    w->SendCommand("Audio Splitter");
    ASSERT_TRUE(ran);
    const QStringList parts = QDir(dest).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(parts.size(), 2) << parts.join(", ").toStdString();
    for (const QString& part : parts) {
        SCOPED_TRACE(part.toStdString());
        const fixtures::Probe p = fixtures::probe(dest + part);
        ASSERT_TRUE(p.ok);
        EXPECT_EQ(p.codec, "pcm_s16le");
        EXPECT_EQ(p.sampleRate, 44100);
        EXPECT_EQ(p.channels, 2);
        EXPECT_NEAR(p.seconds, 2.0, 0.01);
    }

    // A user's format choice stands through a later install step.
    ASSERT_TRUE(setMachineValue("Formats\\WAV", "cboChannelsWAV", "0"));
    ASSERT_TRUE(setMachineValue("Formats\\MP3", "cboMP3Bitrate", ""));
    ASSERT_TRUE(WriteFirstRunValues(AppPath()));
    EXPECT_EQ(machineValue("Formats\\WAV", "cboChannelsWAV"), "0");
    EXPECT_EQ(machineValue("Formats\\MP3", "cboMP3Bitrate"), "");
}

// The entry is what desktop-file-validate accepts, for program folders
// whose paths need quoting as well as for plain ones.
TEST(DesktopEntry, ValidatesAndStartsTheProgramOfItsFolder)
{
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    const struct {
        QString programDir;
        QString exec;
    } cases[] = {
        {"/opt/kelvane", "Exec=/opt/kelvane/kelvane"},
        {"/opt/My Programs/kelvane", "Exec=\"/opt/My Programs/kelvane/kelvane\""},
        {"/opt/it's/100%", "Exec=\"/opt/it's/100%%/kelvane\""},
        {"/opt/a$b", "Exec=\"/opt/a\\\\$b/kelvane\""},
        {"/opt/x\"y", "Exec=\"/opt/x\\\\\"y/kelvane\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.programDir.toStdString());
        const QString share = testenv::tempRoot() + "/share";
        QDir(share).removeRecursively();
        ASSERT_TRUE(InstallDesktopEntry(share, c.programDir));
        const QString entry = share + "/applications/kelvane.desktop";
        QFile f(entry);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
        EXPECT_TRUE(lines.contains(c.exec)) << lines.join('\n').toStdString();
        EXPECT_TRUE(lines.contains("Icon=kelvane"));

        QProcess validate;
        validate.start(validator, {entry});
        ASSERT_TRUE(validate.waitForFinished(30000));
        const QString said = QString::fromUtf8(validate.readAllStandardOutput() + validate.readAllStandardError());
        EXPECT_EQ(validate.exitCode(), 0) << said.toStdString();
        EXPECT_TRUE(said.trimmed().isEmpty()) << said.toStdString();

        for (int size : {16, 24, 32, 48}) {
            const QImage icon(share + QStringLiteral("/icons/hicolor/%1x%1/apps/kelvane.png").arg(size));
            EXPECT_EQ(icon.size(), QSize(size, size));
        }
    }
}

} // namespace

namespace {

// Every link and picture of the help page leads somewhere: a file beside it,
// or an anchor of the page it names.
TEST(HelpFile, EveryLinkResolves)
{
    const QString folder = QStringLiteral(KELVANE_SOURCE_DIR "/app/help");
    QFile page(folder + "/Help.html");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    QSet<QString> ids;
    const QRegularExpression idRe(QStringLiteral("\\bid=\"([^\"]+)\""));
    for (auto m = idRe.globalMatch(html); m.hasNext();)
        ids.insert(m.next().captured(1));
    const QRegularExpression linkRe(QStringLiteral("\\b(?:href|src)=\"([^\"]*)\""));
    int links = 0;
    for (auto m = linkRe.globalMatch(html); m.hasNext();) {
        const QString link = m.next().captured(1);
        SCOPED_TRACE(link.toStdString());
        ++links;
        EXPECT_FALSE(link.contains("://")) << "the page works offline";
        const int hash = link.indexOf('#');
        const QString file = hash < 0 ? link : link.left(hash);
        const QString anchor = hash < 0 ? QString() : link.mid(hash + 1);
        if (!file.isEmpty()) {
            EXPECT_TRUE(QFileInfo(folder + "/" + file).isFile());
            EXPECT_TRUE(anchor.isEmpty()) << "anchors are checked on this page only";
        } else {
            EXPECT_TRUE(ids.contains(anchor));
        }
    }
    EXPECT_GE(links, 10);
    for (const char* topic : {"KELVANE_CD_IMAGES", "KELVANE_CD_WRITERS", "KELVANE_DATA_WRITERS", "kelvane/registry",
                              "Audio Converter", "What Kelvane does not do"})
        EXPECT_TRUE(html.contains(QLatin1String(topic))) << topic;
}

} // namespace
