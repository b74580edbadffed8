// The splitter job: part lengths in both modes, part names, what it refuses
// to start on, the overwrite question and aborting.
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

#include "audiotools/frmSplitter.h"
#include "components/audio/cAudioConverter.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "lists/ItemRow.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/components/audio/HeldWork.h"
#include "tests/components/audio/StalledReads.h"
#include "tests/audiotools/AudioToolsTestSupport.h"
#include "tests/toolframe/ToolFrameTestSupport.h"

namespace {

class SplitterJobTest : public ::testing::Test {
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
        if (g_frmSplitterLoaded() && w->cmdConvert->isEnabled())
            w->close();
    }

    // The splitter over one file, writing WAV parts into `out`.
    FrmSplitter* open(const QString& path, const QString& format = "WAV")
    {
        w = g_frmSplitter();
        w->g_sFileToSplit = path;
        w->cGrid1->SetCell(1, w->cGrid1->ColumnIndex(COL_FILE), path);
        w->txtToPath->setEditText(out);
        attest::chooseFormat(w, format);
        for (QCheckBox* box : {w->chkPlaySound, w->chkOpenDestFolder, w->chkTurnOffComputer, w->chkNoticeApp})
            box->setChecked(false);
        return w;
    }
    void byParts(const QString& n)
    {
        w->ptnSplitByParts->setChecked(true);
        w->txtSplitParts->setText(n);
    }
    void bySeconds(const QString& s)
    {
        w->ptnSplitBySecs->setChecked(true);
        w->txtSplitSecs->setText(s);
    }
    void run()
    {
        w->cmdConvert->click();
        ASSERT_TRUE(attest::waitForJobEnd(w));
    }
    QStringList log() const { return attest::logMessages(w->txtLog); }
    QList<double> partSeconds() const
    {
        QList<double> s;
        for (const QString& name : attest::filesIn(out))
            s << fixtures::probe(out + name).seconds;
        return s;
    }

    tftest::ServiceLog services;
    std::unique_ptr<tftest::FakeMain> main;
    FrmSplitter* w = nullptr;
    QString audio, out;
};

TEST_F(SplitterJobTest, PartsFollowTheModeAndAddUpToTheSource)
{
    const QString src = fixtures::writeToneWav(audio + "take.one.wav", 25.4);
    struct Case {
        bool parts;
        const char* value;
        QList<double> seconds;
    };
    const Case cases[] = {
        {false, "10", {10.0, 10.0, 5.4}},
        {false, "25", {25.0, 0.4}},
        {false, "9.5", {10.0, 10.0, 5.4}}, // halves round to even
        {true, "3", {8.0, 8.0, 9.4}},
        {true, "1", {25.4}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.parts ? "parts " : "seconds ") + k.value);
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        open(src);
        k.parts ? byParts(k.value) : bySeconds(k.value);
        main->balloons.clear();
        run();
        const QList<double> got = partSeconds();
        ASSERT_EQ(got.size(), k.seconds.size()) << attest::filesIn(out).join(",").toStdString();
        for (int i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], k.seconds[i], 0.01) << i;
        EXPECT_EQ(attest::filesIn(out).first(), "Part_1_take.one.WAV");
        EXPECT_EQ(w->prgTotal->ProgressValue(), w->prgTotal->ProgressMax());
        EXPECT_EQ(w->prgTotal->ProgressMax(), 100 * k.seconds.size());
        EXPECT_EQ(main->balloons.value(0).section('|', 0, 0), "Done.");
        w->close();
    }
    const QStringList lines = log();
    EXPECT_EQ(lines.mid(0, 4), QStringList({"Preparing to split: take.one.wav..", "Destination format: WAV",
                                            "Start to split: take.one.wav...", "Done."}));
}

TEST_F(SplitterJobTest, BadNumbersAndShortSourcesStartNothing)
{
    const QString src = fixtures::writeToneWav(audio + "short.wav", 25.4);
    struct Case {
        bool parts;
        const char* value;
        const char* message; // the start of the message
    };
    const Case cases[] = {
        {true, "0", "Enter the number of parts"},      {true, "-2", "Enter the number of parts"},
        {true, "abc", "Enter the number of parts"},    {true, "2.5", "Enter the number of parts"},
        {true, "", "Enter the number of parts"},       {true, "26", "Source file length is to small."},
        {false, "0.5", "Enter the length of a part"},  {false, "-10", "Enter the length of a part"},
        {false, "ten", "Enter the length of a part"},  {false, "26", "Source file length is to small."},
        {false, "25.4", "Source file length is to small."},
    };
    open(src);
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.parts ? "parts " : "seconds ") + k.value);
        k.parts ? byParts(k.value) : bySeconds(k.value);
        testenv::ScriptedMessageBoxes boxes;
        w->cmdConvert->click();
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_TRUE(boxes.shown()[0].prompt.startsWith(k.message)) << boxes.shown()[0].prompt.toStdString();
        EXPECT_TRUE(w->cmdConvert->isEnabled());
        QTest::qWait(20);
        EXPECT_TRUE(attest::filesIn(out).isEmpty());
        EXPECT_FALSE(log().contains("Start to split: short.wav..."));
        if (QString(k.message).startsWith("Source")) {
            // The job's first lines get their outcome, in the log and the status line.
            const QStringList lines = log();
            ASSERT_GE(lines.size(), 3);
            EXPECT_EQ(lines.last(), "Source file length is to small.");
            EXPECT_TRUE(lines.at(lines.size() - 3).startsWith("Preparing to split: short.wav"));
            EXPECT_TRUE(lines.at(lines.size() - 2).startsWith("Destination format:"));
            EXPECT_EQ(w->lblCurrentTrack->text(), "Source file length is to small.");
        }
    }
}

TEST_F(SplitterJobTest, PartNamesKeepTheNameAndTakeTheFormatKey)
{
    open(audio + "x.wav");
    struct Case {
        const char* source;
        const char* format;
        long part;
        const char* name;
    };
    const Case cases[] = {
        {"/music/song.mp3", "MP3", 2, "Part_2_song.MP3"},
        {"/music/song.flac", "MP3", 1, "Part_1_song.MP3"},
        {"/music/my.song.wav", "ACM", 3, "Part_3_my.song.ACM"},
        {"/music/noext", "WMA", 1, "Part_1_noext.WMA"},
        {"/music/.hidden", "WAV", 1, "Part_1_.hidden.WAV"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.source);
        attest::chooseFormat(w, k.format);
        w->m_lPartNumber = k.part;
        EXPECT_EQ(w->GetPartFileName(k.source), k.name);
    }
}

TEST_F(SplitterJobTest, OverwriteQuestionAndAPartThatWouldReplaceItsSource)
{
    const QString src = fixtures::writeToneWav(audio + "s.wav", 3.0);
    struct Case {
        int answer;
        QStringList tail;
        int parts; // parts written
    };
    const Case cases[] = {
        {vbNo, {"File already exists."}, 1},
        {vbCancel, {"File already exists.", "Aborted."}, 1},
        {vbYes, {"File already exists.", "Overwrite it...", "Done.", "Start to split: s.wav...", "Done."}, 3},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.answer);
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        fixtures::writeBytes(out + "Part_2_s.WAV", "kept");
        open(src);
        byParts("3");
        testenv::ScriptedMessageBoxes boxes;
        boxes.answer(k.answer);
        main->balloons.clear();
        run();
        EXPECT_EQ(log().mid(5), k.tail) << log().join("\n").toStdString();
        const QString end = k.answer == vbYes ? "Done." : "Aborted.";
        EXPECT_EQ(w->lblCurrentTrack->text(), end);
        EXPECT_EQ(main->balloons.value(0).section('|', 0, 0), end);
        if (k.answer != vbYes)
            EXPECT_EQ(fixtures::readAll(out + "Part_2_s.WAV"), QByteArray("kept"));
        EXPECT_EQ(attest::filesIn(out).size(), k.answer == vbYes ? 3 : 2);
        w->close();
    }

    // A link at a part's path that leads to the source: that part fails, the
    // source stays, the other parts are made and the end says so.
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    ASSERT_TRUE(QFile::link(src, out + "Part_1_s.WAV"));
    const QByteArray before = fixtures::readAll(src);
    open(src);
    byParts("3");
    w->chkOverWrite->setChecked(true);
    main->balloons.clear();
    run();
    EXPECT_EQ(fixtures::readAll(src), before);
    EXPECT_EQ(log().filter(QRegularExpression("^Error: .+\\(31\\)$")).size(), 1) << log().join("\n").toStdString();
    EXPECT_EQ(log().last(), "Parts with errors: 1 of 3.");
    EXPECT_EQ(main->balloons.value(0).section('|', 0, 0), "Done with errors.");
    EXPECT_TRUE(fixtures::probe(out + "Part_3_s.WAV").ok);
}

// MP3 parts carry the header that makes decoders drop the encoder's delay
// and padding, behind the item's ID3 tag: each decodes to its own length.
TEST_F(SplitterJobTest, Mp3PartsDecodeToTheirLength)
{
    open(fixtures::writeToneWav(audio + "seven.wav", 7.0), "MP3");
    w->cGrid1->SetCell(1, w->cGrid1->ColumnIndex(COL_TAG_TITLE), "Seven");
    byParts("3");
    run();
    const QStringList parts = attest::filesIn(out);
    ASSERT_EQ(parts, QStringList({"Part_1_seven.MP3", "Part_2_seven.MP3", "Part_3_seven.MP3"}));
    const qint64 frames[] = {2 * 44100, 2 * 44100, 3 * 44100};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(parts[i].toStdString());
        EXPECT_NEAR(fixtures::ffmpegDecodedFrames(out + parts[i]), frames[i], 1152);
        EXPECT_EQ(fixtures::probe(out + parts[i]).tags.value("title").toStdString(), "Seven");
    }
}

TEST_F(SplitterJobTest, AbortLeavesNoPartialPart)
{
    open(fixtures::writeToneWav(audio + "long.wav", 120.0), "MP3");
    byParts("2");
    testenv::ScriptedMessageBoxes boxes;
    ASSERT_TRUE(attest::abortMidWay(w, boxes));
    EXPECT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(log().last(), "Aborted.");
    EXPECT_EQ(w->lblCurrentTrack->text(), "Aborted.");
    EXPECT_EQ(main->balloons.size(), 1);
    EXPECT_TRUE(main->balloons[0].startsWith("Aborted.|"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return attest::filesIn(out).isEmpty(); }, 5000))
        << attest::filesIn(out).join(",").toStdString();
}

// The caption keeps the program's title while the parts are written and at
// the end; the progress shows in the bars only.
TEST_F(SplitterJobTest, TheCaptionKeepsTheProgramsTitle)
{
    const QString title = g_sAppName + " " + g_sAppVersion;
    open(fixtures::writeToneWav(audio + "two.wav", 20.0));
    byParts("2");
    HeldWork held(10);
    w->cmdConvert->click();
    ASSERT_TRUE(held.waitHeld());
    EXPECT_GE(w->prgCurrnet->ProgressValue(), 10);
    EXPECT_EQ(w->windowTitle(), title);
    held.letGo();
    ASSERT_TRUE(attest::waitForJobEnd(w));
    EXPECT_EQ(attest::filesIn(out).size(), 2);
    EXPECT_EQ(w->lblCurrentTrack->text(), "Done.");
    EXPECT_EQ(w->windowTitle(), title);
}

// The source is read away from the window's thread. Held while the window's
// timer ticks through it: a WAV of 12.5 million empty chunks is then refused
// within a second; a read that never ends gives way to Abort.
TEST_F(SplitterJobTest, TheSourceIsReadWithTheWindowAnswering)
{
    const QString chunky =
        fixtures::writeWavWithHole(audio + "chunky.wav", 30, 100'000'000, fixtures::WavHole::BeforeData);
    ASSERT_FALSE(chunky.isEmpty());
    for (const bool abort : {false, true}) {
        SCOPED_TRACE(abort ? "abort while the read hangs" : "the read goes on");
        open(chunky);
        byParts("2");
        testenv::ScriptedMessageBoxes boxes;
        boxes.answer(vbYes);
        StalledReads opens;
        QElapsedTimer clock;
        clock.start();
        qint64 releasedAt = -1;
        int ticksWhileHeld = 0;
        QTimer ticker;
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            if (opens.stalled() == 0 || releasedAt >= 0 || ++ticksWhileHeld < 5)
                return;
            releasedAt = clock.elapsed();
            if (abort) {
                w->cmdAbort->click();
            } else {
                opens.letThrough();
                opens.releaseOne();
            }
        });
        ticker.start();
        w->cmdConvert->click();
        const qint64 endedAt = clock.elapsed();
        ticker.stop();
        EXPECT_EQ(opens.onWindowThread(), 0) << "the source was opened on the window's thread";
        EXPECT_EQ(ticksWhileHeld, 5) << "the window did not answer while the source was read";
        ASSERT_GE(releasedAt, 0);
        if (abort) {
            EXPECT_EQ(opens.stalled(), 1) << "Abort waited for the read";
        } else {
            EXPECT_LT(endedAt - releasedAt, 1000);
        }
        EXPECT_EQ(log().last(), abort ? QString("Aborted.") : QString("Error: The file 'chunky.wav' cannot be read.(2)"));
        EXPECT_TRUE(w->cmdConvert->isEnabled());
        EXPECT_TRUE(attest::filesIn(out).isEmpty());
        w->close();
    }
}

} // namespace
