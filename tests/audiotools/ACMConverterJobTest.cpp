// The ACM converter: its codec and format lists, their narrowing by a chosen
// item, and the job writing WAV files with the chosen codec.
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "audiotools/frmACMConverter.h"
#include "components/audio/cAudioConverter.h"
#include "components/controls/cProgressBar.h"
#include "core/Shutdown.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/components/audio/StalledReads.h"
#include "tests/audiotools/AudioToolsTestSupport.h"
#include "tests/toolframe/ToolFrameTestSupport.h"

namespace {

using Cells = QMap<QString, QString>;

QStringList items(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

class ACMConverterJobTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        attest::startProgram();
        audio = testenv::tempRoot() + "/audio/";
        out = testenv::tempRoot() + "/out/";
        for (const QString& d : {audio, out}) {
            QDir(d).removeRecursively();
            QDir().mkpath(d);
        }
        main = std::make_unique<tftest::FakeMain>(&services);
    }
    void TearDown() override
    {
        if (g_frmACMConverterLoaded() && w && w->cmdConvert->isEnabled())
            w->close();
    }
    static Cells whole(const QString& path)
    {
        return {{"Item Name", QFileInfo(path).fileName()}, {"Time", "00:00:01"}, {"COL_FILE", path},
                {"COL_RANGE_ALL", "1"}};
    }
    FrmACMConverter* open(const QList<Cells>& rows)
    {
        for (const Cells& r : rows)
            main->addRow(true, r);
        w = g_frmACMConverter();
        CopyGridRows(main->cGrid1, w->cGrid1, true);
        w->txtToPath->setEditText(out);
        attest::chooseTemplate(w, "[file_name].[dest_extension]");
        for (QCheckBox* box : {w->chkPlaySound, w->chkOpenDestFolder, w->chkTurnOffComputer, w->chkNoticeApp})
            box->setChecked(false);
        return w;
    }
    void chooseCodec(const QString& codec, const QString& format)
    {
        w->cboTags->setCurrentIndex(w->cboTags->findText(codec));
        w->cboTags_Click();
        w->cboFormats->setCurrentIndex(w->cboFormats->findText(format));
    }
    // Chooses an item and waits for its format to be read.
    void chooseItem(const QString& item)
    {
        w->cboBestAccordItem->setCurrentIndex(w->cboBestAccordItem->findText(item));
        w->cboBestAccordItem_Click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w->ItemPending(); }));
    }
    void run()
    {
        w->cmdConvert->click();
        ASSERT_TRUE(attest::waitForJobEnd(w));
    }
    QStringList log() const { return attest::logMessages(w->txtLog); }

    tftest::ServiceLog services;
    std::unique_ptr<tftest::FakeMain> main;
    FrmACMConverter* w = nullptr;
    QString audio, out;
};

TEST_F(ACMConverterJobTest, CodecListsFollowTheChosenItem)
{
    const QString all = "PCM,MS ADPCM,IMA ADPCM,GSM 6.10,A-Law,u-Law";
    const QString phone = fixtures::writeToneWav(audio + "phone.wav", 0.5, 8000, 1, 16);
    const QString cd = fixtures::writeToneWav(audio + "cd.wav", 0.5, 44100, 2, 16);
    const QString dat = fixtures::writeToneWav(audio + "dat.wav", 0.5, 48000, 2, 16);
    open({whole(cd)});

    // As it opens: every codec, PCM chosen with its first format.
    EXPECT_EQ(items(w->cboTags).join(","), all);
    EXPECT_EQ(w->cboTags->currentText(), "PCM");
    EXPECT_EQ(w->cboFormats->currentIndex(), 0);
    const int pcmFormats = w->cboFormats->count();
    EXPECT_GT(pcmFormats, 0);
    // The same codec picked twice lists its formats once.
    w->cboTags_Click();
    w->cboTags_Click();
    EXPECT_EQ(w->cboFormats->count(), pcmFormats);

    struct Case {
        QString item;
        QString codecs; // "" : both lists empty
    };
    const Case cases[] = {
        {phone, all},
        {cd, "PCM,MS ADPCM,IMA ADPCM,A-Law,u-Law"},
        {dat, "PCM"},
        {"All ACM Codecs", all}, // every codec for the format last read
        {audio + "missing.wav", "PCM"}, // unreadable: the last format read stays
    };
    w->FillBestAccordItem({phone, cd, dat, audio + "missing.wav"}, phone);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.item.toStdString());
        chooseItem(k.item);
        EXPECT_EQ(items(w->cboTags).join(","), k.codecs);
        EXPECT_EQ(w->cboTags->currentText(), "PCM");
        EXPECT_GT(w->cboFormats->count(), 0);
    }
    // GSM takes 8 kHz mono only: chosen for the phone item, it lists that one format.
    chooseItem(phone);
    chooseCodec("GSM 6.10", "8000 Hz, 0 bit, Mono");
    EXPECT_EQ(items(w->cboFormats), QStringList({"8000 Hz, 0 bit, Mono"}));
}

// A chosen item is read away from the window's thread, as on a stalled
// mount: the lists keep the last choice while the read is held, then follow
// the item. A pipe in an item's place is refused once read, keeping the
// format last read; the window may close while a read hangs.
TEST_F(ACMConverterJobTest, AnItemIsReadWithTheWindowAnswering)
{
    const QString all = "PCM,MS ADPCM,IMA ADPCM,GSM 6.10,A-Law,u-Law";
    const QString phone = fixtures::writeToneWav(audio + "phone.wav", 0.5, 8000, 1, 16);
    const QString cd = fixtures::writeToneWav(audio + "cd.wav", 0.5, 44100, 2, 16);
    const QString pipe = audio + "pipe.wav";
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    struct Case {
        QString item;
        bool closeWhileHeld;
        QString codecs;
    };
    const Case cases[] = {
        {cd, false, "PCM,MS ADPCM,IMA ADPCM,A-Law,u-Law"},
        {phone, false, all},
        {pipe, false, all}, // the phone's format stays
        {cd, true, ""},
    };
    open({whole(cd)});
    w->FillBestAccordItem({phone, cd, pipe}, QString());
    for (const Case& k : cases) {
        SCOPED_TRACE((k.item + (k.closeWhileHeld ? " closed while held" : "")).toStdString());
        const QString shown = items(w->cboTags).join(",");
        StalledReads opens;
        w->cboBestAccordItem->setCurrentIndex(w->cboBestAccordItem->findText(k.item));
        w->cboBestAccordItem_Click();
        // The click is back with the read held: the window goes on answering.
        ASSERT_TRUE(QTest::qWaitFor([&] { return opens.stalled() == 1; }));
        EXPECT_EQ(opens.onWindowThread(), 0) << "the item was opened on the window's thread";
        EXPECT_TRUE(w->ItemPending());
        EXPECT_EQ(items(w->cboTags).join(","), shown) << "the lists changed before the item was read";
        if (k.closeWhileHeld) {
            w->close();
            EXPECT_FALSE(g_frmACMConverterLoaded());
            w = nullptr;
            continue; // the read ends when the gate goes, reporting to nobody
        }
        opens.letThrough();
        opens.releaseOne();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w->ItemPending(); }));
        EXPECT_EQ(items(w->cboTags).join(","), k.codecs);
        EXPECT_EQ(w->cboTags->currentText(), "PCM");
        EXPECT_GT(w->cboFormats->count(), 0);
    }
}

TEST_F(ACMConverterJobTest, TheLastItemChosenWinsOverAnEarlierOneStillRead)
{
    const QString phone = fixtures::writeToneWav(audio + "phone.wav", 0.5, 8000, 1, 16);
    const QString cd = fixtures::writeToneWav(audio + "cd.wav", 0.5, 44100, 2, 16);
    open({whole(cd)});
    w->FillBestAccordItem({phone, cd}, QString());
    StalledReads opens;
    for (const QString& item : {cd, phone}) {
        w->cboBestAccordItem->setCurrentIndex(w->cboBestAccordItem->findText(item));
        w->cboBestAccordItem_Click();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return opens.stalled() == 2; }));
    opens.letThrough();
    opens.releaseOne();
    opens.releaseOne();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->ItemPending(); }));
    EXPECT_EQ(items(w->cboTags).join(","), "PCM,MS ADPCM,IMA ADPCM,GSM 6.10,A-Law,u-Law");
}

TEST_F(ACMConverterJobTest, WritesTheChosenCodecAndEndsLikeTheConverter)
{
    const QString a = fixtures::writeToneWav(audio + "a.wav", 1.0), b = fixtures::writeToneWav(audio + "b.wav", 1.0);
    open({whole(a), whole(b)});
    struct Case {
        const char* codec;
        const char* format;
        const char* probed;
    };
    const Case cases[] = {
        {"IMA ADPCM", "22050 Hz, 4 bit, Mono", "adpcm_ima_wav"},
        {"A-Law", "8000 Hz, 8 bit, Stereo", "pcm_alaw"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.codec);
        chooseCodec(k.codec, k.format);
        ASSERT_EQ(w->cboFormats->currentText(), k.format);
        w->chkOverWrite->setChecked(true);
        main->balloons.clear();
        run();
        for (const char* name : {"a.wav", "b.wav"}) {
            const fixtures::Probe p = fixtures::probe(out + name);
            EXPECT_TRUE(p.ok) << name;
            EXPECT_EQ(p.codec, k.probed) << name;
            EXPECT_NEAR(p.seconds, 1.0, 0.05) << name;
        }
        EXPECT_EQ(main->balloons.value(0).section('|', 0, 0), "Done.");
        EXPECT_EQ(w->lblCurrentTrack->text(), "Done.");
        EXPECT_EQ(w->windowTitle(), g_sAppName + " " + g_sAppVersion);
        EXPECT_EQ(w->lblTimeLeft->text(), "Time Left: 00:00:00");
        EXPECT_FALSE(w->Timer1->isActive());
    }
    const QStringList lines = log();
    EXPECT_EQ(lines.mid(0, 6), QStringList({"Preparing to convert: 2 tracks.", "Destination format: ACM WAV",
                                            "Start to convert: a.wav...", "Done.", "Start to convert: b.wav...",
                                            "Done."}));

    // No codec to choose: every row fails, the job ends with errors and the
    // computer stays on.
    w->cboTags->clear();
    w->cboFormats->clear();
    w->chkTurnOffComputer->setChecked(true);
    services.cancelTurnOffWhenShown();
    main->balloons.clear();
    run();
    EXPECT_EQ(log().filter(QRegularExpression("^Error: No ACM codec is chosen\\.\\(20\\)$")).size(), 2)
        << log().join("\n").toStdString();
    EXPECT_EQ(main->balloons.value(0).section('|', 0, 0), "Done with errors.");
    EXPECT_FALSE(g_frmTurnOffLoaded());
    EXPECT_FALSE(services.events.join(",").contains("turnoff"));
}

TEST_F(ACMConverterJobTest, AbortLeavesNoFileAndOverwriteCancelEndsAborted)
{
    const QString longWav = fixtures::writeToneWav(audio + "long.wav", 120.0);
    open({whole(longWav)});
    chooseCodec("MS ADPCM", "44100 Hz, 4 bit, Stereo");
    testenv::ScriptedMessageBoxes boxes;
    ASSERT_TRUE(attest::abortMidWay(w, boxes));
    EXPECT_EQ(log().last(), "Aborted.");
    EXPECT_EQ(w->lblCurrentTrack->text(), "Aborted.");
    EXPECT_EQ(main->balloons.value(0).section('|', 0, 0), "Aborted.");
    EXPECT_FALSE(w->Timer1->isActive());
    EXPECT_TRUE(QTest::qWaitFor([&] { return attest::filesIn(out).isEmpty(); }, 5000))
        << attest::filesIn(out).join(",").toStdString();

    // Cancel at the overwrite question: the file stays, the job ends aborted.
    fixtures::writeBytes(out + "long.wav", "kept");
    boxes.clear();
    boxes.answer(vbCancel);
    main->balloons.clear();
    run();
    EXPECT_EQ(log().mid(log().size() - 2), QStringList({"File already exists.", "Aborted."}));
    EXPECT_EQ(fixtures::readAll(out + "long.wav"), QByteArray("kept"));
    EXPECT_EQ(w->windowTitle(), "Aborted.");
    EXPECT_EQ(w->lblTimeLeft->text(), "Time Left: 00:00:00");
    EXPECT_EQ(main->balloons.value(0).section('|', 0, 0), "Aborted.");
}

// The job starts the time-left clock, and the estimate shows while a row runs.
TEST_F(ACMConverterJobTest, TheTimeLeftShowsWhileARowRuns)
{
    Cells row = whole(fixtures::writeToneWav(audio + "ten.wav", 10.0));
    row["Time"] = "00:00:10";
    open({row});
    chooseCodec("MS ADPCM", "44100 Hz, 4 bit, Stereo");
    w->g_ltmrItemSecsTotal = 10; // as the launch sets it from the marked rows
    HeldWork held(10);
    EXPECT_TRUE(attest::timeLeftShownWhileHeld(w, held)) << w->lblTimeLeft->text().toStdString();
    held.letGo();
    ASSERT_TRUE(attest::waitForJobEnd(w));
    EXPECT_EQ(w->lblTimeLeft->text(), "Time Left: 00:00:00");
}

// This window shows a failed row in its log only: as the error comes back
// (the buttons with it) the status line still names the row's file, and the
// caption its own.
TEST_F(ACMConverterJobTest, ARowErrorIsShownInTheLogOnly)
{
    const QString good = fixtures::writeToneWav(audio + "good.wav", 1.0);
    open({whole(audio + "missing.wav"), whole(good)});
    chooseCodec("MS ADPCM", "44100 Hz, 4 bit, Stereo");
    QStringList labelAtError, captionAtError;
    attest::EventWatch watch(w->cmdConvert, QEvent::EnabledChange, [&] {
        if (w->cmdConvert->isEnabled() && labelAtError.isEmpty()) {
            labelAtError << w->lblCurrentTrack->text();
            captionAtError << w->windowTitle();
        }
    });
    run();
    const QStringList errors = log().filter(QRegularExpression("^Error: "));
    ASSERT_EQ(errors.size(), 1) << log().join("\n").toStdString();
    EXPECT_TRUE(errors[0].contains("missing.wav")) << errors[0].toStdString();
    EXPECT_EQ(labelAtError, QStringList({"missing.wav"}));
    EXPECT_EQ(captionAtError, QStringList({w->design().caption}));
    EXPECT_EQ(w->lblCurrentTrack->text(), "Done with errors.");
    EXPECT_TRUE(fixtures::probe(out + "good.wav").ok);
}

} // namespace
