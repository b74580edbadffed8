#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "components/audio/cAudioConverter.h"
#include "components/controls/cImageList.h"
#include "components/controls/cTabControl.h"
#include "core/Edition.h"
#include "core/Formats.h"
#include "core/Startup.h"
#include "core/WindowHelpers.h"
#include "platform/SettingsStore.h"
#include "settings/AppState.h"
#include "settings/FormatSettings.h"
#include "settings/SettingsWidgets.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"
#include "tests/components/audio/StalledReads.h"
#include "tests/support/TestEnv.h"
#include "tests/settings/FreshSettingsWindows.h"

using platform::Hive;
using platform::SettingsStore;

namespace {

QString key(const QString& sub) { return MachineKeyRoot() + "\\" + sub; }

void store(const QString& sub, const QString& name, const QString& value)
{
    ASSERT_TRUE(SettingsStore::setValue(Hive::LocalMachine, key(sub), name, value)) << qPrintable(name);
}

QString stored(const QString& sub, const QString& name)
{
    return SettingsStore::value(Hive::LocalMachine, key(sub), name).value_or("<missing>");
}

// The default edition, whichever edition this build is.
void install()
{
    SetAppModes();
    SetDefaultEditionTools();
    testenv::installMachineKeys();
}

QStringList entries(const QComboBox* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->itemText(i);
    return out;
}

QStringList tabKeys(FrmAudioProp* a)
{
    QStringList keys;
    for (int i = 1; i <= a->cTabControl1->TabCount(); ++i)
        keys << a->cTabControl1->TabKey(i);
    return keys;
}

QString shownPage(FrmAudioProp* a)
{
    QStringList shown;
    for (QFrame* page : {a->froToWAV, a->froToACM, a->froToMP3, a->froToWMA, a->froToOGG, a->froToAPE})
        if (!page->isHidden())
            shown << page->objectName();
    return shown.join(",");
}

// Every stored value of the dialog with the text its control would store now.
QStringList storeSnapshot()
{
    const char* groups[][16] = {
        {"Formats\\WAV", "cboSamplesWAV", "cboBitrateWAV", "cboChannelsWAV"},
        {"Formats\\ACM", "cboTags", "cboFormats"},
        {"Formats\\MP3", "cboMP3Bitrate", "cboMP3Quality", "cboMP3Samplerate", "cboMP3Mode", "chkMP3ErrorProtect",
         "chkMP3Original", "chkMP3Copyright", "chkMP3StrictISO", "cboMP3VBRQuality", "cboMP3MinBitrate",
         "cboMP3MaxBitrate", "chkMP3VBRTag", "chkMP3VBRForceMinBitrate", "chkMP3ABR", "cboMP3ABRBitrate"},
        {"Formats\\MP3", "lblMP3Advanced"},
        {"Formats\\WMA", "cboWMACodecs", "cboWMAFormat"},
        {"Formats\\OGG", "ptnQualityOGG", "sldOGG", "optOggBit", "cboOggBitNom"},
        {"Formats\\APE", "cboAPELevel"},
    };
    QStringList out;
    for (const auto& g : groups)
        for (int i = 1; i < 16 && g[i]; ++i)
            out << QString(g[i]) + "=" + stored(g[0], g[i]);
    return out;
}

QStringList variables()
{
    return {QString::number(g_lSamplesWAV), QString::number(g_lBitrateWAV), QString::number(g_lChannelsWAV),
            g_sACMTag, g_sACMFormat, QString::number(g_lMP3Bitrate), QString::number(g_lMP3Quality),
            QString::number(g_lMP3Samplerate), QString::number(g_lMP3Mode), QString::number(g_bMP3ErrorProtect),
            QString::number(g_bMP3Original), QString::number(g_bMP3Copyright), QString::number(g_bMP3StrictISO),
            QString::number(g_lMP3VBRQuality), QString::number(g_lMP3MinBitrate), QString::number(g_lMP3MaxBitrate),
            QString::number(g_bMP3VBRTag), QString::number(g_bMP3VBRForceMinBitrate), QString::number(g_bMP3ABR),
            QString::number(g_lMP3ABRBitrate), QString::number(g_lWMACodecs), QString::number(g_lWMAFormat),
            QString::number(g_bQualityOGG), QString::number(g_lOGGQuality), QString::number(g_bOGGBitrate),
            QString::number(g_lOGGBitNom), QString::number(g_lAPELevel)};
}

// A short MP3 made by the test: 22050 Hz mono.
QString makeMp3(const QString& name)
{
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    if (ffmpeg.isEmpty())
        return {};
    const QString path = testenv::tempRoot() + "/" + name;
    QProcess p;
    p.start(ffmpeg, {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=22050:duration=1",
                     "-ac", "1", "-c:a", "libmp3lame", "-b:a", "64k", path});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    return path;
}

} // namespace

class FormatStore : public settingstest::FreshSettingsWindows {};
class AudioFormatDialog : public settingstest::FreshSettingsWindows {};
class CodecLists : public settingstest::FreshSettingsWindows {};

TEST_F(FormatStore, EmptySubKeysLoadTheDefaults)
{
    install();
    FrmAudioProp* a = g_frmAudioProp();
    EXPECT_EQ(g_lSamplesWAV, 44100);
    EXPECT_EQ(g_lBitrateWAV, 16);
    EXPECT_EQ(g_lChannelsWAV, 0); // mono: a missing position reads as 0
    EXPECT_EQ(g_sACMTag, "PCM");
    EXPECT_EQ(g_sACMFormat, a->cboFormats->itemText(0));
    EXPECT_FALSE(g_sACMFormat.isEmpty());
    EXPECT_EQ(g_lMP3Bitrate, 128);
    EXPECT_EQ(a->cboMP3Quality->currentText(), "5 ");
    EXPECT_EQ(g_lMP3Quality, 5);
    EXPECT_EQ(g_lMP3Samplerate, 44100);
    EXPECT_EQ(g_lMP3Mode, 0);
    for (bool flag : {g_bMP3ErrorProtect, g_bMP3Original, g_bMP3Copyright, g_bMP3StrictISO, g_bMP3VBRTag,
                      g_bMP3VBRForceMinBitrate, g_bMP3ABR})
        EXPECT_FALSE(flag);
    EXPECT_EQ(g_lMP3VBRQuality, 5);
    EXPECT_EQ(g_lMP3MinBitrate, 9);
    EXPECT_EQ(g_lMP3MaxBitrate, 11);
    EXPECT_EQ(g_lMP3ABRBitrate, 96);
    EXPECT_EQ(a->lblMP3Advanced->text(), "Advanced...");
    EXPECT_TRUE(a->picMP3Advanced->isHidden());
    EXPECT_EQ(g_lWMACodecs, a->cboWMACodecs->count() > 0 ? 0 : -1);
    EXPECT_EQ(g_lWMAFormat, a->cboWMAFormat->count() > 0 ? 0 : -1);
    EXPECT_EQ(g_lOGGQuality, 0);
    EXPECT_EQ(g_lOGGBitNom, 32);
    EXPECT_FALSE(g_bQualityOGG);
    EXPECT_FALSE(g_bOGGBitrate);
    EXPECT_EQ(g_lAPELevel, 0);
    EXPECT_EQ(a->lblSensitivityVal->text(), "0");
    // "VBR Mode" is ticked at load and takes no part in the store.
    EXPECT_TRUE(a->chkMP3VBR->isChecked());
    EXPECT_FALSE(a->isVisible());
}

TEST_F(FormatStore, StoredTextsAreReadByTheirKind)
{
    install();
    const struct {
        const char* sub;
        const char* name;
        const char* text;
        std::function<QString()> read;
        const char* expected;
    } cases[] = {
        {"Formats\\MP3", "cboMP3Quality", "7 ", [] { return QString::number(g_lMP3Quality); }, "7"},
        {"Formats\\MP3", "cboMP3VBRQuality", "7", [] { return QString::number(g_lMP3VBRQuality); }, "5"},
        {"Formats\\MP3", "cboMP3MinBitrate", "128", [] { return QString::number(g_lMP3MinBitrate); }, "11"},
        {"Formats\\MP3", "cboMP3MaxBitrate", "8 ", [] { return QString::number(g_lMP3MaxBitrate); }, "0"},
        {"Formats\\MP3", "cboMP3Bitrate", "320", [] { return QString::number(g_lMP3Bitrate); }, "320"},
        {"Formats\\MP3", "cboMP3Samplerate", "44101", [] { return QString::number(g_lMP3Samplerate); }, "44100"},
        {"Formats\\MP3", "cboMP3Mode", "3", [] { return QString::number(g_lMP3Mode); }, "3"},
        {"Formats\\MP3", "chkMP3Copyright", "1", [] { return QString::number(g_bMP3Copyright); }, "1"},
        {"Formats\\MP3", "chkMP3StrictISO", "yes", [] { return QString::number(g_bMP3StrictISO); }, "0"},
        {"Formats\\WAV", "cboChannelsWAV", "5", [] { return QString::number(g_lChannelsWAV); }, "1"},
        {"Formats\\WAV", "cboSamplesWAV", "8000", [] { return QString::number(g_lSamplesWAV); }, "8000"},
        {"Formats\\WAV", "cboBitrateWAV", "8", [] { return QString::number(g_lBitrateWAV); }, "8"},
        {"Formats\\ACM", "cboTags", "No Such Codec", [] { return g_sACMTag; }, "PCM"},
        {"Formats\\OGG", "ptnQualityOGG", "False", [] { return QString::number(g_bQualityOGG); }, "0"},
        {"Formats\\OGG", "optOggBit", "True", [] { return QString::number(g_bOGGBitrate); }, "1"},
        {"Formats\\OGG", "sldOGG", "70", [] { return QString::number(g_lOGGQuality); }, "70"},
        {"Formats\\OGG", "cboOggBitNom", "196", [] { return QString::number(g_lOGGBitNom); }, "196"},
        {"Formats\\APE", "cboAPELevel", "4", [] { return QString::number(g_lAPELevel); }, "4"},
        {"Formats\\APE", "cboAPELevel", "5", [] { return QString::number(g_lAPELevel); }, "0"},
    };
    for (const auto& c : cases) {
        store(c.sub, c.name, c.text);
        UnloadAudioProp();
        g_frmAudioProp();
        EXPECT_EQ(c.read(), c.expected) << c.name << "=" << c.text;
        SettingsStore::deleteValue(Hive::LocalMachine, key(c.sub), c.name);
    }
}

TEST_F(FormatStore, AdvancedPanelFollowsItsStoredCaption)
{
    install();
    store("Formats\\MP3", "lblMP3Advanced", "Simple...");
    FrmAudioProp* a = g_frmAudioProp();
    EXPECT_FALSE(a->picMP3Advanced->isHidden());
    a->lblMP3Advanced->click();
    EXPECT_EQ(a->lblMP3Advanced->text(), "Advanced...");
    EXPECT_TRUE(a->picMP3Advanced->isHidden());
    a->lblMP3Advanced->click();
    EXPECT_EQ(a->lblMP3Advanced->text(), "Simple...");
    a->cmdOk_Click();
    EXPECT_EQ(stored("Formats\\MP3", "lblMP3Advanced"), "Simple...");

    store("Formats\\MP3", "lblMP3Advanced", "Odd text");
    a->GetOptions();
    EXPECT_FALSE(a->picMP3Advanced->isHidden()); // any caption but "Advanced..." opens it
    a->lblMP3Advanced->click();                  // and the link then does nothing
    EXPECT_EQ(a->lblMP3Advanced->text(), "Odd text");
}

TEST_F(FormatStore, OkStoresExactTextsAndReloadingGivesTheSameState)
{
    install();
    FrmAudioProp* a = g_frmAudioProp();
    a->cboSamplesWAV->setCurrentIndex(2);
    a->cboChannelsWAV->setCurrentIndex(1);
    a->cboMP3Quality->setCurrentText("7 ");
    a->cboMP3VBRQuality->setCurrentText("2 ");
    a->cboMP3MinBitrate->setCurrentText("8 ");
    a->cboMP3MaxBitrate->setCurrentText("320");
    a->cboMP3Mode->setCurrentIndex(5);
    a->chkMP3ErrorProtect->setChecked(true);
    a->chkMP3ABR->setChecked(true);
    a->optOggBit->setChecked(true);
    a->sldOGG->setValue(33);
    a->cboOggBitNom->setCurrentText("350");
    a->cboAPELevel->setCurrentIndex(3);
    if (a->cboTags->count() > 1)
        a->cboTags->setCurrentIndex(a->cboTags->currentIndex() == 0 ? 1 : 0);

    a->cmdOk_Click();

    const QStringList texts = storeSnapshot();
    for (const char* expected :
         {"cboSamplesWAV=11025", "cboBitrateWAV=16", "cboChannelsWAV=1", "cboMP3Bitrate=128", "cboMP3Quality=7 ",
          "cboMP3Samplerate=44100", "cboMP3Mode=5", "chkMP3ErrorProtect=1", "chkMP3Original=0",
          "chkMP3Copyright=0", "chkMP3StrictISO=0", "cboMP3VBRQuality=2 ", "cboMP3MinBitrate=8 ",
          "cboMP3MaxBitrate=320", "chkMP3VBRTag=0", "chkMP3VBRForceMinBitrate=0", "chkMP3ABR=1",
          "cboMP3ABRBitrate=96", "lblMP3Advanced=Advanced...", "ptnQualityOGG=False", "sldOGG=33",
          "optOggBit=True", "cboOggBitNom=350", "cboAPELevel=3"})
        EXPECT_TRUE(texts.contains(expected)) << expected << "\n" << qPrintable(texts.join("\n"));
    EXPECT_TRUE(texts.contains("cboTags=" + a->cboTags->currentText()));
    EXPECT_TRUE(texts.contains("cboFormats=" + a->cboFormats->currentText()));
    EXPECT_EQ(g_lMP3VBRQuality, 2);
    EXPECT_EQ(g_lMP3MinBitrate, 0);
    EXPECT_EQ(g_lMP3MaxBitrate, 18);
    EXPECT_TRUE(g_bOGGBitrate);
    EXPECT_EQ(g_lOGGQuality, 33);

    const QStringList before = variables();
    UnloadAudioProp();
    g_frmAudioProp();
    EXPECT_EQ(variables(), before);
    g_frmAudioProp()->cmdOk_Click();
    EXPECT_EQ(storeSnapshot(), texts);
}

TEST_F(FormatStore, FailedWriteIsReportedOnceAndKeepsTheEdits)
{
    install();
    FrmAudioProp* a = g_frmAudioProp();
    a->show();
    ASSERT_EQ(SettingsStore::deleteKey(Hive::LocalMachine, key("Formats\\OGG")), 0);
    a->cboMP3Bitrate->setCurrentText("320");
    a->sldOGG->setValue(80);
    testenv::ScriptedMessageBoxes boxes;
    a->cmdOk_Click();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.shown()[0].prompt.contains(key("Formats\\OGG")));
    EXPECT_TRUE(a->isVisible());
    EXPECT_EQ(a->sldOGG->value(), 80);
    EXPECT_EQ(g_lMP3Bitrate, 128);
    EXPECT_EQ(stored("Formats\\MP3", "cboMP3Bitrate"), "320");
}

TEST_F(AudioFormatDialog, TabsFollowTheDestinationSwitches)
{
    install();
    FrmAudioProp* a = g_frmAudioProp();
    EXPECT_EQ(tabKeys(a), (QStringList{"WAV", "ACM", "MP3", "WMA"}));
    EXPECT_EQ(shownPage(a), "froToWAV");
    // Pages of formats without a tab exist all the same.
    EXPECT_NE(a->froToOGG, nullptr);
    EXPECT_NE(a->froToAPE, nullptr);

    UnloadAudioProp();
    SetAllDestinationsOn();
    EXPECT_EQ(tabKeys(g_frmAudioProp()), (QStringList{"WAV", "ACM", "MP3", "WMA", "OGG", "APE"}));
}

TEST_F(AudioFormatDialog, TabClickShowsPageTitleAndDescription)
{
    install();
    SetAllDestinationsOn();
    FrmAudioProp* a = g_frmAudioProp();
    const struct {
        const char* key;
        const char* page;
        QString title;
        QString description;
    } cases[] = {
        {"MP3", "froToMP3", "MP3 -", "MPEG-1 Audio Layer 3"},
        {"ACM", "froToACM", "WAV(ACM) -", "Waveform audio format with ACM codec"},
        {"APE", "froToAPE", "APE -", QString::fromUtf8("Monkey\u2019s Audio file format")},
        {"OGG", "froToOGG", "OGG -", "Ogg Media format"},
        {"WMA", "froToWMA", "WMA -", "Windows Media Audio"},
        {"WAV", "froToWAV", "WAV -", "Waveform audio format"},
    };
    for (const auto& c : cases) {
        a->cTabControl1->SelectTab(c.key);
        a->cTabControl1_TabClick(a->cTabControl1->TabIndexForKey(c.key));
        EXPECT_EQ(shownPage(a), c.page);
        EXPECT_EQ(a->lblTitle->text(), c.title);
        EXPECT_EQ(a->lblFormatDesc->text(), c.description);
        EXPECT_EQ(a->lblFormatDesc->x(), a->lblTitle->x() + a->lblTitle->width() + TwipsToPixels(80));
    }
}

TEST_F(AudioFormatDialog, OkSetsTheOptionsDefaultFormatToTheOpenTab)
{
    install();
    FrmAudioProp* a = g_frmAudioProp();
    for (const auto& [tab, entry] : {std::pair{"MP3", "MP3 - MPEG-1 Audio Layer 3 (*.mp3)"},
                                     std::pair{"WMA", "WMA - Windows Media Audio files (*.wma)"},
                                     std::pair{"WAV", "WAV - Waveform Audio Format (*.wav)"}}) {
        a->cTabControl1->SelectTab(tab);
        a->cmdOk_Click();
        EXPECT_EQ(frmOptions()->cboTargetFormat->currentText(), entry);
    }
    // Exit leaves it as it was.
    a->cTabControl1->SelectTab("ACM");
    a->cmdExit_Click();
    EXPECT_EQ(frmOptions()->cboTargetFormat->currentText(), "WAV - Waveform Audio Format (*.wav)");
}

TEST_F(AudioFormatDialog, ExitKeepsEditsInTheDialogOnly)
{
    install();
    FrmAudioProp* a = g_frmAudioProp();
    a->show();
    a->cboMP3Bitrate->setCurrentText("64");
    a->cmdExit_Click();
    EXPECT_FALSE(a->isVisible());
    EXPECT_EQ(g_frmAudioProp(), a);
    EXPECT_EQ(g_lMP3Bitrate, 128);
    EXPECT_EQ(stored("Formats\\MP3", "cboMP3Bitrate"), "<missing>");
    a->show();
    EXPECT_EQ(a->cboMP3Bitrate->currentText(), "64");
    a->cmdOk_Click();
    EXPECT_EQ(g_lMP3Bitrate, 64);
    EXPECT_EQ(stored("Formats\\MP3", "cboMP3Bitrate"), "64");

    g_bAppClosing = true;
    a->close();
    UnloadAudioProp();
    EXPECT_FALSE(g_frmAudioPropLoaded());
    g_bAppClosing = false;
}

TEST_F(AudioFormatDialog, OggLabelFollowsOnlyTheDraggedThumb)
{
    install();
    FrmAudioProp* a = g_frmAudioProp();
    a->sldOGG->setSliderDown(true);
    a->sldOGG->setSliderPosition(70);
    a->sldOGG->setSliderDown(false);
    EXPECT_EQ(a->lblSensitivityVal->text(), "70");
    a->sldOGG->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(a->sldOGG->value(), 71);
    EXPECT_EQ(a->lblSensitivityVal->text(), "70");
}

TEST_F(CodecLists, AcmCodecsListPcmAndEveryCodecRefillsItsFormats)
{
    install();
    FrmAudioProp* a = g_frmAudioProp();
    const QStringList codecs = entries(a->cboTags);
    ASSERT_TRUE(codecs.contains("PCM"));
    ASSERT_GE(codecs.size(), 2);
    QStringList sorted = codecs;
    std::sort(sorted.begin(), sorted.end(), [](const QString& x, const QString& y) {
        return QString::compare(x, y, Qt::CaseInsensitive) < 0;
    });
    EXPECT_EQ(codecs, sorted);
    EXPECT_EQ(a->cboTags->currentText(), "PCM");
    EXPECT_GE(a->cboFormats->count(), 1);
    EXPECT_EQ(a->cboFormats->currentIndex(), 0);

    for (int i = 0; i < codecs.size(); ++i) {
        a->cboTags->setCurrentIndex(i);
        // The format list is this codec's, with the first format selected.
        QStringList expected;
        cAudioConverter probe;
        QObject::connect(&probe, &cAudioConverter::ACMFormatFound, [&](const QString& f) { expected << f; });
        probe.EnumACMFormats(codecs[i]);
        EXPECT_EQ(entries(a->cboFormats), expected) << qPrintable(codecs[i]);
        EXPECT_EQ(a->cboFormats->currentIndex(), expected.isEmpty() ? -1 : 0) << qPrintable(codecs[i]);
    }
}

TEST_F(CodecLists, WmaCodecsRefillTheirFormatsWithTheFirstSelected)
{
    install();
    FrmAudioProp* a = g_frmAudioProp();
    cAudioConverter probe;
    const int n = probe.WMACodecCount();
    ASSERT_EQ(a->cboWMACodecs->count(), n);
    ASSERT_GE(n, 1);
    EXPECT_EQ(a->cboWMACodecs->currentIndex(), 0);
    for (int c = n - 1; c >= 0; --c) {
        a->cboWMAFormat->setCurrentIndex(a->cboWMAFormat->count() - 1);
        a->cboWMACodecs->setCurrentIndex(c);
        EXPECT_EQ(a->cboWMACodecs->itemText(c), probe.WMACodecName(c));
        ASSERT_EQ(a->cboWMAFormat->count(), probe.WMAFormatCount(c));
        for (int j = 0; j < a->cboWMAFormat->count(); ++j)
            EXPECT_EQ(a->cboWMAFormat->itemText(j), probe.WMAFormatName(c, j));
        EXPECT_EQ(a->cboWMAFormat->currentIndex(), a->cboWMAFormat->count() > 0 ? 0 : -1);
    }
    // Stored positions come back after the codec's formats are listed.
    store("Formats\\WMA", "cboWMACodecs", QString::number(n - 1));
    store("Formats\\WMA", "cboWMAFormat", QString::number(probe.WMAFormatCount(n - 1) - 1));
    a->cboWMACodecs->setCurrentIndex(0);
    a->GetOptions();
    EXPECT_EQ(g_lWMACodecs, n - 1);
    EXPECT_EQ(g_lWMAFormat, probe.WMAFormatCount(n - 1) - 1);
}

TEST_F(CodecLists, RecommendedCodecsForAnMp3AndCancelRestoresTheLists)
{
    install();
    const QString mp3 = makeMp3("source.mp3");
    if (mp3.isEmpty())
        GTEST_SKIP() << "ffmpeg cannot make an MP3 here";
    FrmAudioProp* a = g_frmAudioProp();
    testenv::ScriptedDialogs dialogs;
    // Choose a codec other than the first, so that a restore is visible.
    a->cboTags->setCurrentIndex(a->cboTags->count() - 1);
    const QStringList allCodecs = entries(a->cboTags);
    const QString codec = a->cboTags->currentText();
    const QStringList formats = entries(a->cboFormats);

    // Cancelled, and several files (no single path): nothing to recommend from.
    dialogs.cancel();
    dialogs.choose({mp3, testenv::tempRoot() + "/other.mp3"});
    for (int round = 0; round < 2; ++round) {
        a->chkBestAccordToSource->click();
        EXPECT_FALSE(a->chkBestAccordToSource->isChecked());
        EXPECT_EQ(entries(a->cboTags), allCodecs);
        EXPECT_EQ(a->cboTags->currentText(), codec);
        EXPECT_EQ(entries(a->cboFormats), formats);
    }
    ASSERT_EQ(dialogs.requests().size(), 2u);
    EXPECT_EQ(dialogs.requests()[0].title, "Open MP3 audio file");

    // One file: the codecs that convert from its format (22050 Hz, mono, 16 bits).
    QStringList expected;
    cAudioConverter probe;
    QObject::connect(&probe, &cAudioConverter::ACMFormatTagFound, [&](const QString& c) { expected << c; });
    probe.EnumACMFormatTags(1, 22050, 1, 16, 0x100000);
    std::sort(expected.begin(), expected.end(),
              [](const QString& x, const QString& y) { return QString::compare(x, y, Qt::CaseInsensitive) < 0; });

    dialogs.choose({mp3});
    a->chkBestAccordToSource->click();
    EXPECT_TRUE(a->chkBestAccordToSource->isChecked());
    EXPECT_EQ(entries(a->cboTags), expected);
    EXPECT_EQ(a->cboTags->currentIndex(), expected.isEmpty() ? -1 : 0);
    EXPECT_EQ(a->cboFormats->currentIndex(), a->cboFormats->count() > 0 ? 0 : -1);
    // The variables change only with OK.
    EXPECT_EQ(g_sACMTag, "PCM");

    // Unticking lists every codec again, the alphabetically first chosen.
    a->chkBestAccordToSource->click();
    EXPECT_EQ(entries(a->cboTags), allCodecs);
    EXPECT_EQ(a->cboTags->currentIndex(), 0);
    EXPECT_EQ(a->cboFormats->currentIndex(), a->cboFormats->count() > 0 ? 0 : -1);
}

namespace {

// The chosen file is read away from the dialog's thread, as on a stalled
// mount: held while the dialog's timer ticks through it, then its codecs are
// listed. A pipe chosen in its place is refused once read, as a file that
// cannot be read; Exit while a read hangs ends the wait, the lists as they were.
TEST_F(CodecLists, TheChosenFileIsReadWithTheDialogAnswering)
{
    install();
    const QString mp3 = makeMp3("source.mp3");
    if (mp3.isEmpty())
        GTEST_SKIP() << "ffmpeg cannot make an MP3 here";
    const QString pipe = testenv::tempRoot() + "/pipe.mp3";
    QFile::remove(pipe);
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    FrmAudioProp* a = g_frmAudioProp();
    a->show();
    const QStringList allCodecs = entries(a->cboTags);
    QStringList fromMp3;
    cAudioConverter probe;
    QObject::connect(&probe, &cAudioConverter::ACMFormatTagFound, [&](const QString& c) { fromMp3 << c; });
    probe.EnumACMFormatTags(1, 22050, 1, 16, 0x100000);
    std::sort(fromMp3.begin(), fromMp3.end(),
              [](const QString& x, const QString& y) { return QString::compare(x, y, Qt::CaseInsensitive) < 0; });

    struct Case {
        const char* name;
        QString file;
        bool exitWhileHeld;
        bool ticked;
        QStringList codecs;
    };
    const Case cases[] = {
        {"an MP3", mp3, false, true, fromMp3},
        {"a pipe", pipe, false, false, allCodecs},
        {"Exit while held", mp3, true, false, allCodecs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testenv::ScriptedDialogs dialogs;
        dialogs.choose({c.file});
        StalledReads opens;
        bool enabledWhileHeld = true;
        const int ticksWhileHeld = opens.whileHeld([&] { a->chkBestAccordToSource->click(); }, [&] {
            enabledWhileHeld = a->chkBestAccordToSource->isEnabled();
            if (c.exitWhileHeld) {
                a->cmdExit->click();
            } else {
                opens.letThrough();
                opens.releaseOne();
            }
        });
        EXPECT_EQ(opens.onWindowThread(), 0) << "the file was opened on the dialog's thread";
        EXPECT_GE(ticksWhileHeld, 5) << "the dialog did not answer while the file was read";
        EXPECT_FALSE(enabledWhileHeld) << "the box could be clicked again while its file was read";
        EXPECT_TRUE(a->chkBestAccordToSource->isEnabled());
        EXPECT_EQ(a->chkBestAccordToSource->isChecked(), c.ticked);
        EXPECT_EQ(entries(a->cboTags), c.codecs);
        if (c.ticked)
            a->chkBestAccordToSource->click(); // back to every codec
        a->show();
    }
}

} // namespace
