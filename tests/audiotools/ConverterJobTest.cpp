// The converter job over the rows of the converter window: the log, the
// overwrite question, errors, ranges and tags, and aborting.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>


#include "audiotools/ConverterJob.h"
#include "components/audio/AudioEncoder.h"
#include "components/audio/AudioJobRunner.h"
#include "tests/components/audio/HeldWork.h"
#include "tests/components/audio/StalledReads.h"
#include "components/audio/cAudioConverter.h"
#include "components/controls/cProgressBar.h"
#include "core/Shutdown.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/components/audio/WavShapes.h"
#include "tests/audiotools/AudioToolsTestSupport.h"
#include "tests/toolframe/ToolFrameTestSupport.h"

namespace {

using Cells = QMap<QString, QString>;

class ConverterJobTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        attest::startProgram();
        audio = testenv::tempRoot() + "/audio/";
        out = testenv::tempRoot() + "/out/";
        // One temporary root serves the whole run: each test starts with empty folders.
        for (const QString& d : {audio, out}) {
            QDir(d).removeRecursively();
            QDir().mkpath(d);
        }
        main = std::make_unique<tftest::FakeMain>(&services);
    }
    void TearDown() override
    {
        kvaudio::setWrittenOutputHook({});
        if (g_frmConverterLoaded() && w && w->cmdConvert->isEnabled())
            w->close();
    }

    QString wav(const QString& name, double seconds = 1.0)
    {
        return fixtures::writeToneWav(audio + name, seconds, 44100, 2, 16);
    }
    // A row converting the whole file.
    static Cells whole(const QString& path, int seconds)
    {
        return {{"Item Name", QFileInfo(path).fileName()},
                {"Time", TimeCellText(seconds)},
                {"COL_FILE", path},
                {"COL_RANGE_ALL", "1"}};
    }
    // The window over the rows, writing WAV (or the format given) into `out`
    // named "[file_name].[dest_extension]".
    ConverterJobWindow* open(const QList<Cells>& rows, const QString& format = "WAV")
    {
        for (const Cells& r : rows)
            main->addRow(true, r);
        w = qobject_cast<ConverterJobWindow*>(g_frmConverter());
        EXPECT_NE(w, nullptr);
        CopyGridRows(main->cGrid1, w->cGrid1, true);
        w->txtToPath->setEditText(out);
        attest::chooseFormat(w, format);
        attest::chooseTemplate(w, "[file_name].[dest_extension]");
        for (QCheckBox* box : {w->chkPlaySound, w->chkOpenDestFolder, w->chkTurnOffComputer, w->chkNoticeApp})
            box->setChecked(false);
        return w;
    }
    // A new main window with an empty grid (the old one goes first: it
    // unregisters itself).
    void freshMain()
    {
        main.reset();
        main = std::make_unique<tftest::FakeMain>(&services);
    }
    void run()
    {
        w->cmdConvert->click();
        ASSERT_TRUE(attest::waitForJobEnd(w));
    }
    QStringList log() const { return attest::logMessages(w->txtLog); }

    tftest::ServiceLog services;
    std::unique_ptr<tftest::FakeMain> main;
    ConverterJobWindow* w = nullptr;
    QString audio, out;
};

TEST_F(ConverterJobTest, LogsEveryRowAndAnErrorNeitherStopsTheJobNorLetsTheComputerTurnOff)
{
    const QString a = wav("a.wav"), b = wav("b.wav"), c = wav("c.wav");
    fixtures::writeBytes(out + "b.wav", "placeholder");
    open({whole(a, 1), whole(b, 1), whole(audio + "missing.wav", 1), whole(c, 1)});
    w->chkTurnOffComputer->setChecked(true);
    services.cancelTurnOffWhenShown();
    testenv::ScriptedMessageBoxes boxes;
    boxes.answer(vbYes);

    run();

    const QStringList lines = log();
    ASSERT_EQ(lines.size(), 13) << lines.join("\n").toStdString();
    EXPECT_EQ(lines.mid(0, 8), QStringList({"Preparing to convert: 4 tracks.", "Destination format: WAV",
                                            "Start to convert: a.wav...", "Done.", "Start to convert: b.wav...",
                                            "File already exists.", "Overwrite it...", "Done."}));
    EXPECT_EQ(lines[8], "Start to convert: missing.wav...");
    EXPECT_TRUE(QRegularExpression("^Error: .+\\(1\\)$").match(lines[9]).hasMatch()) << lines[9].toStdString();
    EXPECT_EQ(lines.mid(10), QStringList({"Start to convert: c.wav...", "Done.", "Rows with errors: 1 of 4."}));

    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].prompt, "The file: '" + out + "b.wav' already exists.\r\n\r\nOverwrite it?");
    EXPECT_EQ(boxes.shown()[0].style, vbYesNoCancel | vbInformation);

    for (const char* name : {"a.wav", "b.wav", "c.wav"}) {
        const fixtures::Probe p = fixtures::probe(out + name);
        EXPECT_TRUE(p.ok && p.codec == "pcm_s16le") << name;
        EXPECT_NEAR(p.seconds, 1.0, 0.01) << name;
    }
    EXPECT_EQ(attest::filesIn(out), QStringList({"a.wav", "b.wav", "c.wav"}));

    // The error is remembered: the end says so and the computer stays on.
    EXPECT_TRUE(w->m_bJobError);
    EXPECT_EQ(main->balloons, QStringList({"Done with errors.|" + g_sAppName + " " + g_sAppVersion + "|1|30"}));
    EXPECT_FALSE(g_frmTurnOffLoaded());
    EXPECT_FALSE(services.events.join(",").contains("turnoff"));
    EXPECT_EQ(w->windowTitle(), "Done with errors.");
    EXPECT_EQ(w->prgTotal->ProgressValue(), 400);
    EXPECT_EQ(w->prgTotal->ProgressMax(), 400);
    EXPECT_EQ(w->prgCurrnet->ProgressValue(), 100);
    EXPECT_FALSE(w->Timer1->isActive());
    EXPECT_EQ(w->m_ltmrDoneItemsSecs, 3); // the failed row's second is not counted
    EXPECT_TRUE(w->cmdExit->isEnabled());

    // A second job over the same rows: an empty line, then from row 1 again
    // with a fresh error flag.
    QFile::remove(audio + "missing.wav");
    boxes.clear();
    w->chkOverWrite->setChecked(true);
    main->balloons.clear();
    run();
    const QStringList again = log().mid(13);
    ASSERT_GE(again.size(), 3);
    EXPECT_EQ(again[0], "");
    EXPECT_EQ(again[1], "Preparing to convert: 4 tracks.");
    EXPECT_EQ(again[3], "Start to convert: a.wav...");
    EXPECT_FALSE(again.contains("File already exists."));
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(w->m_ltmrDoneItemsSecs, 3);
}

TEST_F(ConverterJobTest, OverwriteQuestionNoSkipsTheRowCancelStopsTheJob)
{
    struct Case {
        int answer;
        QStringList tail;      // the log after the question
        QStringList converted; // rows whose output was written
        QString end;           // balloon, label and caption
        bool endActions;
        long rowAfter;
    };
    const Case cases[] = {
        {vbNo, {"Start to convert: c.wav...", "Done."}, {"a.wav", "c.wav"}, "Done.", true, 4},
        {vbCancel, {"Aborted."}, {"a.wav"}, "Aborted.", false, 2},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.answer);
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        freshMain();
        services.events.clear();
        const QString a = wav("a.wav"), b = wav("b.wav"), c = wav("c.wav");
        fixtures::writeBytes(out + "b.wav", "kept");
        open({whole(a, 1), whole(b, 1), whole(c, 1)});
        w->chkOpenDestFolder->setChecked(true);
        testenv::ScriptedMessageBoxes boxes;
        boxes.answer(k.answer);

        run();

        const QStringList lines = log();
        EXPECT_EQ(lines.mid(4, 2), QStringList({"Start to convert: b.wav...", "File already exists."}))
            << lines.join("\n").toStdString();
        EXPECT_EQ(lines.mid(6), k.tail);
        EXPECT_EQ(fixtures::readAll(out + "b.wav"), QByteArray("kept"));
        for (const QString& name : k.converted)
            EXPECT_TRUE(fixtures::probe(out + name).ok) << name.toStdString();
        EXPECT_EQ(attest::filesIn(out).size(), k.converted.size() + 1);
        EXPECT_EQ(main->balloons.size(), 1);
        EXPECT_TRUE(main->balloons.value(0).startsWith(k.end + "|"));
        EXPECT_EQ(w->lblCurrentTrack->text(), k.end);
        EXPECT_EQ(w->windowTitle(), k.end);
        EXPECT_EQ(services.events.contains("open " + out), k.endActions);
        EXPECT_EQ(w->m_lCurrentRow, k.rowAfter);
        EXPECT_TRUE(w->cmdConvert->isEnabled() && w->cmdExit->isEnabled());
        w->close();
        ASSERT_FALSE(g_frmConverterLoaded());
    }
}

TEST_F(ConverterJobTest, WhatLiesAtTheOutputPathDecidesBetweenQuestionAndErrorRow)
{
    const QString elsewhere = wav("elsewhere.wav");
    struct Case {
        const char* name;
        std::function<void(const QString& target)> make; // puts something at the output path
        bool sourceIsOutput;
        bool asked;
    };
    const Case cases[] = {
        {"hidden file", [](const QString& t) { fixtures::writeBytes(t, "hidden"); }, false, true},
        {"dangling link", [](const QString& t) { QFile::link("/nonexistent/target.wav", t); }, false, true},
        {"link to a file", [&](const QString& t) { QFile::link(elsewhere, t); }, false, true},
        {"folder", [](const QString& t) { QDir().mkpath(t); }, false, false},
        {"the source itself", [](const QString&) {}, true, false},
    };
    for (const Case& k : cases) {
        for (bool overwrite : {false, true}) {
            SCOPED_TRACE(std::string(k.name) + (overwrite ? ", overwrite ticked" : ""));
            if (overwrite && k.asked)
                continue;
            QDir(out).removeRecursively();
            QDir().mkpath(out);
            freshMain();
            // The hidden name comes from the template; the source case writes
            // next to the source under the same name.
            const QString source = k.sourceIsOutput ? wav("same.wav") : wav("x.wav");
            const QByteArray sourceBytes = fixtures::readAll(source);
            open({whole(source, 1)});
            if (k.sourceIsOutput)
                w->txtToPath->setEditText(audio);
            else
                attest::chooseTemplate(w, ".[file_name].[dest_extension]");
            const QString target = k.sourceIsOutput ? source : out + ".x.wav";
            k.make(target);
            const QFileInfo before(target);
            w->chkOverWrite->setChecked(overwrite);
            testenv::ScriptedMessageBoxes boxes;
            boxes.answer(vbNo);

            run();

            EXPECT_EQ(boxes.shown().size(), k.asked ? 1u : 0u);
            const QStringList lines = log();
            if (k.asked) {
                EXPECT_TRUE(lines.contains("File already exists.")) << lines.join("\n").toStdString();
                // Skipped: whatever was there stays as it was.
                const QFileInfo after(target);
                EXPECT_EQ(after.isSymLink(), before.isSymLink());
                EXPECT_EQ(after.symLinkTarget(), before.symLinkTarget());
            } else {
                EXPECT_EQ(lines.filter(QRegularExpression("^Error: .+\\(3\\d\\)$")).size(), 1)
                    << lines.join("\n").toStdString();
                EXPECT_TRUE(w->m_bJobError);
                EXPECT_FALSE(lines.contains("File already exists."));
            }
            EXPECT_EQ(fixtures::readAll(source), sourceBytes);
            EXPECT_EQ(QFileInfo(target).isDir(), before.isDir());
            w->close();
        }
    }
}

TEST_F(ConverterJobTest, RangesTagsAndTheTargetFormatReachTheOutput)
{
    const QString a = wav("a.wav", 5.0), b = wav("b.wav", 3.0);
    Cells ranged = whole(a, 5);
    ranged["COL_RANGE_ALL"] = "0";
    ranged["COL_RANGE_START_TIME"] = "1";
    ranged["COL_RANGE_LENGTH_TIME"] = "2";
    ranged["Item Name"] = "First Song";
    ranged["COL_TAG_ARTIST"] = "Artist [TRACK_NUM]";
    ranged["COL_TAG_TITLE"] = "[ITEM_NAME] ([SOURCE_NAME])";
    ranged["COL_TAG_ALBUM"] = "Album";
    ranged["COL_TAG_YEAR"] = "1999";
    Cells plain = whole(b, 3);
    plain["COL_TAG_ARTIST"] = "Artist [TRACK_NUM]";
    plain["COL_TAG_COMMENT"] = "[PROG_NAME]";
    open({ranged, plain}, "MP3");

    run();

    EXPECT_EQ(log().mid(0, 2), QStringList({"Preparing to convert: 2 tracks.", "Destination format: MP3"}));
    const fixtures::Probe pa = fixtures::probe(out + "a.mp3");
    const fixtures::Probe pb = fixtures::probe(out + "b.mp3");
    ASSERT_TRUE(pa.ok && pb.ok);
    EXPECT_EQ(pa.codec, "mp3");
    EXPECT_EQ(pb.codec, "mp3");
    // The range gives its length; the whole row after it is converted whole.
    EXPECT_NEAR(pa.seconds, 2.0, 0.1);
    EXPECT_NEAR(pb.seconds, 3.0, 0.1);
    EXPECT_EQ(pa.tags.value("artist"), "Artist 1");
    EXPECT_EQ(pa.tags.value("title"), "First Song (a.wav)");
    EXPECT_EQ(pa.tags.value("album"), "Album");
    EXPECT_TRUE(pa.tags.value("date").startsWith("1999")) << pa.tags.value("date").toStdString();
    // Nothing is left over from the row before.
    EXPECT_EQ(pb.tags.value("artist"), "Artist 2");
    EXPECT_EQ(pb.tags.value("title"), "");
    EXPECT_EQ(pb.tags.value("album"), "");
    EXPECT_EQ(pb.tags.value("comment"), g_sAppName);
    EXPECT_EQ(w->m_ltmrDoneItemsSecs, 5);
    EXPECT_EQ(main->balloons.size(), 1);
    EXPECT_TRUE(main->balloons[0].startsWith("Done.|"));
}

TEST_F(ConverterJobTest, AbortStopsTheRunningRowAndLeavesNoFile)
{
    const QString a = wav("long.wav", 120.0), b = wav("b.wav");
    open({whole(a, 120), whole(b, 1)}, "MP3");
    testenv::ScriptedMessageBoxes boxes;

    // Abort while nothing runs: no question.
    w->cmdAbort->click();
    EXPECT_TRUE(boxes.shown().empty());

    // The long row held at a progress report: try to close, then abort.
    HeldWork held;
    w->cmdConvert->click();
    ASSERT_TRUE(held.waitHeld());
    w->close();
    EXPECT_TRUE(g_frmConverterLoaded() && w->isEnabled());
    boxes.answer(vbYes);
    w->cmdAbort->click();
    ASSERT_TRUE(attest::waitForJobEnd(w));

    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].prompt, "Abort operation?" + QString(38, ' '));
    EXPECT_EQ(boxes.shown()[0].style, vbYesNo | vbInformation);
    const QStringList lines = log();
    EXPECT_EQ(lines.last(), "Aborted.");
    EXPECT_FALSE(lines.contains("Done."));
    EXPECT_EQ(w->lblCurrentTrack->text(), "Aborted.");
    EXPECT_EQ(w->windowTitle(), "Aborted.");
    EXPECT_EQ(main->balloons.size(), 1);
    EXPECT_TRUE(main->balloons[0].startsWith("Aborted.|"));
    EXPECT_FALSE(w->Timer1->isActive());
    EXPECT_EQ(w->m_lCurrentRow, 1);
    EXPECT_TRUE(w->cmdExit->isEnabled());
    // Neither the aborted file nor anything half written, and the row after it never started.
    EXPECT_TRUE(QTest::qWaitFor([&] { return attest::filesIn(out).isEmpty(); }, 5000))
        << attest::filesIn(out).join(",").toStdString();
    w->close();
    EXPECT_FALSE(g_frmConverterLoaded());
}

// The row's worker is stuck in a read that never returns (a dead mount; here
// a read on a pipe nobody writes to): the abort still ends the job, and the
// window closes at once.
TEST_F(ConverterJobTest, AWorkerThatNeverReturnsFreezesNeitherTheAbortNorTheClose)
{
    StalledReads jobs(kvaudio::setJobStartHook);
    ASSERT_TRUE(jobs.ready());
    open({whole(wav("a.wav"), 1)});
    testenv::ScriptedMessageBoxes boxes;
    boxes.answer(vbYes);
    w->cmdConvert->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return jobs.stalled() > 0; }, 10000));

    QElapsedTimer t;
    t.start();
    w->cmdAbort->click();
    ASSERT_TRUE(attest::waitForJobEnd(w, 5000));
    EXPECT_LT(t.elapsed(), 2500);
    EXPECT_EQ(log().last(), "Aborted.");
    EXPECT_EQ(w->lblCurrentTrack->text(), "Aborted.");

    t.restart();
    w->close();
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_FALSE(g_frmConverterLoaded());
    EXPECT_TRUE(attest::filesIn(out).isEmpty()) << attest::filesIn(out).join(",").toStdString();
}

TEST_F(ConverterJobTest, AbortAnsweredNoOrAfterTheJobEndedChangesNothing)
{
    for (bool answerAfterEnd : {false, true}) {
        SCOPED_TRACE(answerAfterEnd ? "Yes after the end" : "No");
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        freshMain();
        open({whole(wav("long.wav", 20.0), 20)}, "MP3");
        int questions = 0;
        HeldWork held;
        const platform::MessageBoxHandler previous =
            platform::setMessageBoxHandler([&](const platform::MessageBoxRequest&) {
                ++questions;
                if (!answerAfterEnd)
                    return int(vbNo);
                // The job goes on while the question is open, and ends.
                held.letGo();
                EXPECT_TRUE(attest::waitForJobEnd(w));
                return int(vbYes);
            });
        w->cmdConvert->click();
        ASSERT_TRUE(held.waitHeld());
        w->cmdAbort->click();
        held.letGo();
        ASSERT_TRUE(attest::waitForJobEnd(w));
        platform::setMessageBoxHandler(previous);

        EXPECT_EQ(questions, 1);
        EXPECT_EQ(log().mid(2), QStringList({"Start to convert: long.wav...", "Done."}));
        EXPECT_EQ(main->balloons.size(), 1);
        EXPECT_TRUE(main->balloons.value(0).startsWith("Done.|"));
        EXPECT_EQ(w->lblCurrentTrack->text(), "Done.");
        EXPECT_TRUE(fixtures::probe(out + "long.mp3").ok);
        w->close();
    }
}

TEST_F(ConverterJobTest, ProgressShowsInTheBarsTheCaptionAndTheTimeLeft)
{
    struct Case {
        long percent, row, rows;
        const char* caption;
    };
    const Case cases[] = {
        {40, 2, 3, "Converting... [ 40% / 46.6666666666667% ]"},
        {50, 1, 1, "Converting... [ 50% / 50% ]"},
        {1, 1, 4, "Converting... [ 1% / 0.25% ]"},
        {100, 3, 3, "Converting... [ 100% / 100% ]"},
    };
    open({whole(wav("a.wav"), 1)});
    for (const Case& k : cases) {
        SCOPED_TRACE(k.caption);
        w->prgTotal->setProgressMax(k.rows * 100);
        w->m_lCurrentRow = k.row;
        w->m_ltmrItemSecs = 90;
        w->cAudioConverter1_JobProgress(int(k.percent));
        EXPECT_EQ(w->windowTitle(), k.caption);
        EXPECT_EQ(w->prgCurrnet->ProgressValue(), k.percent);
        EXPECT_EQ(w->prgTotal->ProgressValue(), (k.row - 1) * 100 + k.percent);
        EXPECT_EQ(w->m_ltmrItemSecsDone, qRound(k.percent * 0.9));
    }
    // Reports below 1 change nothing.
    const QString caption = w->windowTitle();
    w->cAudioConverter1_JobProgress(0);
    w->cAudioConverter1_JobProgress(-5);
    EXPECT_EQ(w->windowTitle(), caption);
    EXPECT_EQ(w->prgCurrnet->ProgressValue(), 100);
}

// Feedback never outlives its job: a new job starts from empty bars, no
// caption and no time left; the end leaves "Time Left" at zero, and a job
// whose every row failed does not show full bars.
TEST_F(ConverterJobTest, FeedbackIsClearedAtTheStartAndTrueAtTheEnd)
{
    open({whole(audio + "gone1.wav", 1), whole(audio + "gone2.wav", 1)});
    w->prgTotal->setProgressMax(200);
    w->prgTotal->setProgressValue(150);
    w->prgCurrnet->setProgressValue(70);
    w->lblCurrentTrack->setText("old.wav");
    w->lblTimeLeft->setText("Time Left: 00:03:00");
    w->ResetJobState();
    EXPECT_EQ(w->prgTotal->ProgressValue(), w->prgTotal->ProgressMin());
    EXPECT_EQ(w->prgCurrnet->ProgressValue(), w->prgCurrnet->ProgressMin());
    EXPECT_EQ(w->lblCurrentTrack->text(), "");
    EXPECT_EQ(w->lblTimeLeft->text(), "Time Left: 00:00:00");

    w->lblTimeLeft->setText("Time Left: 00:01:00");
    run();
    EXPECT_EQ(w->lblCurrentTrack->text(), "Done with errors.");
    EXPECT_EQ(w->lblTimeLeft->text(), "Time Left: 00:00:00");
    EXPECT_EQ(w->prgTotal->ProgressValue(), w->prgTotal->ProgressMin());
    EXPECT_EQ(w->prgCurrnet->ProgressValue(), w->prgCurrnet->ProgressMin());
}

// Odd but valid WAVs as other programs write them: every row ends "Done."
// over an output that holds the source's frames at 44.1 kHz and decodes.
TEST_F(ConverterJobTest, OddButValidWavsAllConvertIntoOutputsThatDecode)
{
    using shapes::Sample;
    struct Source {
        const char* name;
        int rate, channels;
        qint64 frames;
        Sample sample;
        bool extensible;
    };
    const Source sources[] = {
        {"mulaw-8k.wav", 8000, 1, 9, Sample::MuLaw, false},
        {"20bit.wav", 44100, 2, 5, Sample::S20in24, true},
        {"three.wav", 22050, 3, 30, Sample::S16, false},
        {"quad.wav", 48000, 4, 60, Sample::F32, true},
        {"five.wav", 8000, 5, 4410, Sample::S24, true},
        {"double.wav", 8000, 1, 1, Sample::F64, false},
        {"surround.wav", 22050, 6, 9, Sample::S32, true},
    };
    QList<Cells> rows;
    for (const Source& s : sources) {
        shapes::WavShape shape;
        shape.rate = s.rate;
        shape.channels = s.channels;
        shape.frames = s.frames;
        shape.sample = s.sample;
        shape.extensible = s.extensible;
        const QString src = shapes::writeWav(audio + s.name, shape);
        ASSERT_FALSE(src.isEmpty()) << s.name;
        rows << whole(src, 0);
    }
    for (const QString format : {"MP3", "WAV"}) {
        SCOPED_TRACE(format.toStdString());
        freshMain();
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        open(rows, format);
        run();
        const QStringList all = log();
        const QStringList lines = all.mid(all.lastIndexOf("Preparing to convert: 7 tracks."));
        EXPECT_EQ(lines.count("Done."), int(std::size(sources))) << lines.join("\n").toStdString();
        EXPECT_EQ(w->lblCurrentTrack->text(), "Done.");
        EXPECT_FALSE(w->m_bJobError);
        for (const Source& s : sources) {
            const QString name = QString(s.name).replace(".wav", "." + format.toLower());
            const shapes::Decoded d = shapes::decodeFile(out + name);
            EXPECT_TRUE(d.ok) << name.toStdString() << ": " << d.error.toStdString();
            EXPECT_EQ(d.frames, std::max<qint64>(1, std::llround(double(s.frames) * 44100 / s.rate)))
                << name.toStdString();
        }
    }
}

// No to the overwrite question on the last row skips that row only: the job
// ends as it normally does, with its end-of-job actions.
TEST_F(ConverterJobTest, NoToTheOverwriteQuestionOnTheLastRowStillEndsTheJobNormally)
{
    const QString a = wav("a.wav"), b = wav("b.wav");
    fixtures::writeBytes(out + "b.wav", "kept");
    open({whole(a, 1), whole(b, 1)});
    w->chkOpenDestFolder->setChecked(true);
    testenv::ScriptedMessageBoxes boxes;
    boxes.answer(vbNo);

    run();

    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(log().mid(2), QStringList({"Start to convert: a.wav...", "Done.", "Start to convert: b.wav...",
                                         "File already exists."}));
    EXPECT_EQ(fixtures::readAll(out + "b.wav"), QByteArray("kept"));
    EXPECT_TRUE(fixtures::probe(out + "a.wav").ok);
    EXPECT_EQ(w->lblCurrentTrack->text(), "Done.");
    EXPECT_EQ(w->windowTitle(), "Done.");
    EXPECT_EQ(main->balloons.size(), 1);
    EXPECT_TRUE(main->balloons.value(0).startsWith("Done.|"));
    EXPECT_EQ(services.events.filter(QRegularExpression("^open ")).size(), 1) << services.events.join(",").toStdString();
}

// The job starts the time-left clock: while a row runs its estimate shows,
// and a row that has reported nothing yet adds nothing of the row before it.
TEST_F(ConverterJobTest, TheTimeLeftShowsWhileARowRunsAndEachRowCountsFromZero)
{
    open({whole(wav("a.wav", 10.0), 10), whole(wav("b.wav", 120.0), 120)});
    w->g_ltmrItemSecsTotal = 130; // as the launch sets it from the marked rows
    HeldWork held(10);
    EXPECT_TRUE(attest::timeLeftShownWhileHeld(w, held)) << w->lblTimeLeft->text().toStdString();

    // The second row held before its first report: the clock ticks on, and
    // with nothing done of this row there is nothing new to estimate.
    HeldWork atStart(1, HeldWork::AtStart);
    held.letGo();
    ASSERT_TRUE(atStart.waitHeld());
    ASSERT_EQ(w->m_lCurrentRow, 2);
    QSignalSpy ticks(w->Timer1, &QTimer::timeout);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks.count() >= 1; }, 10000));
    const QString shown = w->lblTimeLeft->text();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks.count() >= 2; }, 10000));
    EXPECT_EQ(w->lblTimeLeft->text(), shown);

    atStart.letGo();
    ASSERT_TRUE(attest::waitForJobEnd(w));
    EXPECT_EQ(w->lblCurrentTrack->text(), "Done.");
    EXPECT_EQ(w->lblTimeLeft->text(), "Time Left: 00:00:00");
}

// An output found wrong once written is its row's error: the row logs it,
// the other rows go on, and the job ends "Done with errors.".
TEST_F(ConverterJobTest, AnOutputThatDoesNotDecodeMakesItsRowAnError)
{
    const QString a = wav("a.wav"), b = wav("b.wav"), c = wav("c.wav");
    std::atomic<int> written{0};
    kvaudio::setWrittenOutputHook([&written](const QString& path) {
        if (++written == 2)
            QFile::resize(path, 0);
    });
    open({whole(a, 1), whole(b, 1), whole(c, 1)}, "MP3");
    run();
    const QStringList lines = log();
    ASSERT_EQ(lines.size(), 9) << lines.join("\n").toStdString();
    EXPECT_EQ(lines.mid(2, 3), QStringList({"Start to convert: a.wav...", "Done.", "Start to convert: b.wav..."}));
    EXPECT_TRUE(QRegularExpression("^Error: The output file 'b\\.mp3' .+\\(32\\)$").match(lines[5]).hasMatch())
        << lines[5].toStdString();
    EXPECT_EQ(lines.mid(6), QStringList({"Start to convert: c.wav...", "Done.", "Rows with errors: 1 of 3."}));
    EXPECT_EQ(w->lblCurrentTrack->text(), "Done with errors.");
    EXPECT_TRUE(w->m_bJobError);
    EXPECT_EQ(attest::filesIn(out), QStringList({"a.mp3", "c.mp3"}));
}

} // namespace
