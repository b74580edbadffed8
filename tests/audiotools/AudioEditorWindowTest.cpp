// The audio editor window over its component: the file's format and the
// selection in the captions, the saved selection, "Add Selection", errors
// shown to the user, and closing while a save runs.
#include <QAbstractButton>
#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <optional>

#include "audiotools/frmAudioEditor.h"
#include "components/audio/WavFile.h"
#include "components/audio/SoundDevice.h"
#include "components/audio/cAudioEditor.h"
#include "components/controls/cGrid.h"
#include "components/controls/cToolbar.h"
#include "lists/ItemRow.h"
#include "platform/ProgramDir.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/components/audio/EditorFixtures.h"
#include "tests/components/audio/HeldWork.h"
#include "tests/audiotools/AudioToolsTestSupport.h"
#include "tests/toolframe/ToolFrameTestSupport.h"

namespace {

bool haveSoundOutput()
{
    QList<kvsound::Device> outputs;
    return kvsound::listOutputs(&outputs) && !outputs.isEmpty();
}

class AudioEditorWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        attest::startProgram();
        dir = testenv::tempRoot() + "/editorwin/";
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
    }
    void TearDown() override
    {
        if (g_frmAudioEditorLoaded())
            g_frmAudioEditor()->close();
    }
    // Loads the window over path, as the launch does, and waits for the file's format.
    FrmAudioEditor* open(const QString& path)
    {
        FrmAudioEditor* w = g_frmAudioEditor();
        w->txtWavFile->setText(path);
        QSignalSpy info(w->cAudioEditor1, &cAudioEditor::EditorFileInfo);
        w->cAudioEditor1->LoadWaveFile(path);
        (void)info.wait(10000);
        return w;
    }
    void press(FrmAudioEditor* w, const QString& key) { w->tlbrList_ButtonClick(w->tlbrList->ButtonIndex(key)); }
    bool waitForSaveEnd(FrmAudioEditor* w)
    {
        return QTest::qWaitFor([&] { return !w->cAudioEditor1->Saving(); }, 30000);
    }
    QStringList files() const { return attest::filesIn(dir); }

    tftest::FakeMain main;
    testenv::ScriptedMessageBoxes boxes;
    testenv::ScriptedDialogs dialogs;
    QString dir;
};

TEST_F(AudioEditorWindowTest, ShowsTheFormatAndTheSelectionAndSavesItToTheMillisecond)
{
    FrmAudioEditor* w = g_frmAudioEditor();
    EXPECT_EQ(w->lblTimeStart->text(), "Time Start");
    EXPECT_EQ(w->lblSelectedTime->text(), "Time End");

    w = open(fixtures::writeToneWav(dir + "three.wav", 3.0));
    EXPECT_EQ(w->lblInfoSamples->text(), "44100");
    EXPECT_EQ(w->lblInfoChannels->text(), "2");
    EXPECT_EQ(w->lblInfoBits->text(), "16");
    EXPECT_EQ(w->lblLength->text(), "0:00:03");
    EXPECT_EQ(w->lblNumOfSamples->text(), "132300");
    EXPECT_EQ(w->lblSamplesStart->text(), "0");
    EXPECT_EQ(w->lblSamplesEnd->text(), "132300");
    EXPECT_EQ(w->lblTimeStart->text(), "0 ms [0:00:00]");
    EXPECT_EQ(w->lblTimeEnd->text(), "3000 ms [0:00:03]");
    EXPECT_EQ(w->lblSelectedTime->text(), "3000 ms [0:00:03]");

    const QString five = fixtures::writeToneWav(dir + "five.wav", 5.0);
    w = open(five);
    w->cAudioEditor1->SelectFrames(66150, 187425);
    EXPECT_EQ(w->lblTimeStart->text(), "1500 ms [0:00:02]");
    EXPECT_EQ(w->lblTimeEnd->text(), "4250 ms [0:00:04]");
    EXPECT_EQ(w->lblSelectedTime->text(), "2750 ms [0:00:03]");
    EXPECT_EQ(w->lblSamplesStart->text(), "66150");

    dialogs.choose({dir + "cut.wav"});
    press(w, "Save Selection");
    EXPECT_FALSE(w->cmdAddSelection->isEnabled());
    EXPECT_FALSE(w->tlbrList->ButtonEnabled("Save Selection"));
    EXPECT_EQ(w->cAudioEditor1->RangeStart(), 1500);
    EXPECT_EQ(w->cAudioEditor1->RangeLength(), 2750);
    ASSERT_TRUE(waitForSaveEnd(w));
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->cmdAddSelection->isEnabled(); }, 10000));
    EXPECT_TRUE(w->tlbrList->ButtonEnabled("Save Selection"));
    kvaudio::WavFormat in, cut;
    ASSERT_EQ(kvaudio::ReadWavHeader(five, &in, nullptr), 0);
    ASSERT_EQ(kvaudio::ReadWavHeader(dir + "cut.wav", &cut, nullptr), 0);
    EXPECT_EQ(cut.frames, 121275);
    EXPECT_EQ(fixtures::readAll(dir + "cut.wav").mid(cut.dataOffset),
              fixtures::readAll(five).mid(in.dataOffset + 66150 * 4, 121275 * 4));
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(AudioEditorWindowTest, RightAfterLoadingTheSaveTakesTheWholeFileEvenPastTheLastWholeSecond)
{
    FrmAudioEditor* w = open(fixtures::writeToneWav(dir + "odd.wav", 2.7));
    EXPECT_EQ(w->lblTimeEnd->text(), "2700 ms [0:00:03]");
    dialogs.choose({dir + "all.wav"});
    press(w, "Save Selection");
    ASSERT_TRUE(waitForSaveEnd(w));
    kvaudio::WavFormat all;
    ASSERT_EQ(kvaudio::ReadWavHeader(dir + "all.wav", &all, nullptr), 0);
    EXPECT_EQ(all.frames, qint64(2.7 * 44100));
}

TEST_F(AudioEditorWindowTest, AddSelectionAddsTheSavedFileOnceItIsDoneAndACancelAddsNothing)
{
    FrmAudioEditor* w = open(fixtures::writeToneWav(dir + "src.wav", 2.0));
    w->show();
    w->cAudioEditor1->SelectFrames(0, 44100);

    dialogs.cancel();
    w->cmdAddSelection->click();
    // No save was started that could add a row later.
    EXPECT_FALSE(w->cAudioEditor1->Saving());
    QCoreApplication::processEvents();
    EXPECT_EQ(main.cGrid1->RowCount(), 0);
    EXPECT_TRUE(g_frmAudioEditorLoaded());

    dialogs.choose({dir + "piece.wav"});
    QPointer<FrmAudioEditor> guard(w);
    w->cmdAddSelection->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !guard; }, 30000));
    ASSERT_EQ(main.cGrid1->RowCount(), 1);
    EXPECT_EQ(main.cGrid1->CellText(1, main.cGrid1->ColumnIndex(COL_FILE)), dir + "piece.wav");
    EXPECT_TRUE(boxes.shown().empty()) << boxes.prompts().join("|").toStdString();
}

TEST_F(AudioEditorWindowTest, DamagedFilesAreReportedAndTheWindowStaysUsable)
{
    const QString good = fixtures::writeToneWav(dir + "good.wav", 1.0);
    const QByteArray bytes = fixtures::readAll(good);
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* says;
    };
    QByteArray huge = bytes;
    huge.replace(40, 4, QByteArray("\x00\x00\x00\x70", 4));
    const Case cases[] = {
        {"truncated", bytes.left(bytes.size() / 2), "truncated"},
        {"data chunk larger than the file", huge, "claims"},
        {"text renamed .wav", "plain text\n", "is not a WAV file"},
    };
    FrmAudioEditor* w = g_frmAudioEditor();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.clear();
        const QString bad = fixtures::writeBytes(dir + "bad.wav", c.bytes);
        dialogs.choose({bad});
        w->cmdSelectPath->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.shown().empty(); }, 10000));
        EXPECT_TRUE(boxes.prompts().first().contains(c.says)) << boxes.prompts().first().toStdString();
        EXPECT_EQ(w->txtWavFile->text(), bad);

        // No save from a file that did not open.
        boxes.clear();
        const size_t asked = dialogs.requests().size();
        press(w, "Save Selection");
        EXPECT_EQ(dialogs.requests().size(), asked);
        EXPECT_EQ(boxes.prompts(), QStringList({"No WAV file is loaded."}));

        dialogs.choose({good});
        w->cmdSelectPath->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return w->lblNumOfSamples->text() == "44100"; }, 10000));
        w->lblNumOfSamples->setText("-");
    }
}

TEST_F(AudioEditorWindowTest, PlayIsGreyedWhilePlayingAndAFailedSaveGivesTheControlsBack)
{
    FrmAudioEditor* w = open(fixtures::writeToneWav(dir + "tone.wav", 1.0));
    w->cAudioEditor1->SelectFrames(0, 11025);
    press(w, "Play");
    if (!haveSoundOutput()) {
        // No output device: the user is told, and Play stays usable.
        ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.shown().empty(); }, 5000));
        EXPECT_TRUE(w->tlbrList->ButtonEnabled("Play"));
    } else {
        EXPECT_FALSE(w->tlbrList->ButtonEnabled("Play"));
        // The quarter second plays to its end.
        EXPECT_TRUE(QTest::qWaitFor([&] { return w->tlbrList->ButtonEnabled("Play"); }, 10000));
        press(w, "Play");
        EXPECT_FALSE(w->tlbrList->ButtonEnabled("Play"));
        press(w, "Stop");
        EXPECT_TRUE(w->tlbrList->ButtonEnabled("Play"));
        EXPECT_FALSE(w->cAudioEditor1->IsPlaying());
    }

    // Saving over the shown file fails; the message shows and both save controls come back.
    boxes.clear();
    dialogs.choose({w->txtWavFile->text()});
    press(w, "Save Selection");
    EXPECT_FALSE(w->cmdAddSelection->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.shown().empty(); }, 5000));
    EXPECT_TRUE(boxes.prompts().first().contains("cannot be saved over the file it is taken from"));
    EXPECT_TRUE(w->cmdAddSelection->isEnabled());
    EXPECT_TRUE(w->tlbrList->ButtonEnabled("Save Selection"));
}

TEST_F(AudioEditorWindowTest, ClosingDuringASaveLeavesNoOutputAndNoWork)
{
    const QString src = fixtures::writeToneWav(dir + "long.wav", 120.0);
    for (const bool viaExit : {false, true}) {
        SCOPED_TRACE(viaExit ? "Exit" : "close box");
        FrmAudioEditor* w = open(src);
        QPointer<FrmAudioEditor> guard(w);
        HeldWork held;
        dialogs.choose({dir + "out.wav"});
        press(w, "Save Selection");
        ASSERT_TRUE(held.waitHeld());
        ASSERT_TRUE(w->cAudioEditor1->Saving());
        if (viaExit)
            w->cmdExit->click();
        else
            w->close();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !guard; }, 10000));
        EXPECT_EQ(files(), QStringList({"long.wav"}));
    }
}

TEST_F(AudioEditorWindowTest, ClosingAtAnyMomentStopsCleanlyAndRemovesTheWorkFile)
{
    // The converted copy the launch hands over. Drawing and saving are held
    // mid-way until the window has closed; playing a selection of almost two
    // minutes does not end by itself meanwhile.
    const QString work = platform::programDir() + "/tmpeditor.wav";
    const bool device = haveSoundOutput();
    enum Moment { Playing, Paused, Saving, Drawing };
    const struct {
        const char* name;
        Moment moment;
    } moments[] = {{"playing", Playing}, {"paused", Paused}, {"saving", Saving}, {"drawing", Drawing}};
    const char* ways[] = {"Exit", "close box", "Escape"};
    for (const auto& m : moments) {
        for (const char* way : ways) {
            SCOPED_TRACE(std::string(m.name) + " / " + way);
            if (!device && (m.moment == Playing || m.moment == Paused))
                continue;
            QFile::remove(dir + "out.wav");
            ASSERT_FALSE(fixtures::writeToneWav(work, 120.0).isEmpty());
            FrmAudioEditor* w = g_frmAudioEditor();
            QPointer<FrmAudioEditor> guard(w);
            w->txtWavFile->setText(work);
            w->show();
            std::optional<HeldWork> held;
            if (m.moment == Drawing)
                held.emplace();
            w->cAudioEditor1->LoadWaveFile(work);
            if (m.moment != Drawing) {
                ASSERT_TRUE(QTest::qWaitFor([&] { return w->cAudioEditor1->IsWaveformReady(); }, 20000));
                w->cAudioEditor1->SelectFrames(44100, 44100 * 110);
            }
            switch (m.moment) {
            case Playing:
            case Paused:
                press(w, "Play");
                ASSERT_TRUE(w->cAudioEditor1->IsPlaying());
                ASSERT_TRUE(QTest::qWaitFor([&] { return w->cAudioEditor1->PlayCursor() > 44100; }, 10000));
                if (m.moment == Paused) {
                    press(w, "Pause");
                    ASSERT_TRUE(w->cAudioEditor1->IsPlaybackPaused());
                }
                break;
            case Saving:
                held.emplace();
                dialogs.choose({dir + "out.wav"});
                press(w, "Save Selection");
                ASSERT_TRUE(w->cAudioEditor1->Saving());
                ASSERT_TRUE(held->waitHeld());
                break;
            case Drawing:
                ASSERT_TRUE(held->waitHeld());
                break;
            }
            // Shown modally as the launch does: the window goes as its modal run ends.
            bool busyAtClose = false;
            QTimer::singleShot(0, w, [&, w, way] {
                busyAtClose = m.moment == Saving ? w->cAudioEditor1->Saving()
                            : m.moment == Drawing ? !w->cAudioEditor1->IsWaveformReady()
                                                  : w->cAudioEditor1->IsPlaying();
                if (QLatin1String(way) == QLatin1String("Exit"))
                    w->cmdExit->click();
                else if (QLatin1String(way) == QLatin1String("Escape"))
                    QTest::keyClick(w, Qt::Key_Escape);
                else
                    w->close();
            });
            w->exec();
            EXPECT_FALSE(guard);
            EXPECT_TRUE(busyAtClose);
            // The work file goes with the window, and a save the close cut off leaves nothing.
            EXPECT_FALSE(QFile::exists(work));
            EXPECT_EQ(files(), QStringList());
        }
    }
    EXPECT_TRUE(boxes.shown().empty()) << boxes.prompts().join("|").toStdString();
}

TEST_F(AudioEditorWindowTest, AMouseSelectionSavesExactlyTheSamplesItShows)
{
    const QString src = fixtures::writeToneWav(dir + "src.wav", 5.5);
    FrmAudioEditor* w = open(src);
    w->show();
    cAudioEditor* graph = w->cAudioEditor1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return graph->IsWaveformReady(); }, 10000));
    kvaudio::WavFormat in;
    ASSERT_EQ(kvaudio::ReadWavHeader(src, &in, nullptr), 0);
    const QByteArray source = fixtures::readAll(src);

    // A drag over the whole view, then one inside the view zoomed to it.
    for (const bool zoomed : {false, true}) {
        SCOPED_TRACE(zoomed ? "zoomed" : "whole view");
        if (zoomed)
            press(w, "Zoom");
        const int y = graph->height() / 2;
        QTest::mousePress(graph, Qt::LeftButton, {}, QPoint(graph->width() * 37 / 100, y));
        QTest::mouseMove(graph, QPoint(graph->width() / 2, y));
        QTest::mouseRelease(graph, Qt::LeftButton, {}, QPoint(graph->width() * 81 / 100, y));
        const qint64 first = w->lblSamplesStart->text().toLongLong();
        const qint64 end = w->lblSamplesEnd->text().toLongLong();
        ASSERT_GT(end, first);
        // Frames that fall between whole milliseconds, or the test shows nothing.
        EXPECT_TRUE(first * 1000 % 44100 != 0 || end * 1000 % 44100 != 0);

        const QString out = dir + (zoomed ? "zoomed.wav" : "cut.wav");
        dialogs.choose({out});
        press(w, "Save Selection");
        ASSERT_TRUE(waitForSaveEnd(w));
        kvaudio::WavFormat cut;
        ASSERT_EQ(kvaudio::ReadWavHeader(out, &cut, nullptr), 0);
        EXPECT_EQ(cut.frames, end - first);
        EXPECT_EQ(fixtures::readAll(out).mid(cut.dataOffset),
                  source.mid(in.dataOffset + first * in.blockAlign, (end - first) * in.blockAlign));
    }
    EXPECT_TRUE(boxes.shown().empty()) << boxes.prompts().join("|").toStdString();
}

TEST_F(AudioEditorWindowTest, APipeOrAWavOfMillionsOfChunksKeepsTheWindowPaintingAndTellsTheUser)
{
    testenv::NamedPipe fifo(dir + "pipe.wav");
    ASSERT_TRUE(fifo.ok());
    const QByteArray small = fixtures::readAll(fixtures::writeToneWav(dir + "small.wav", 0.01));
    const QString chunky = fixtures::writeBytes(dir + "chunky.wav", editorfixtures::withManyChunks(small, 4'000'000));
    const struct {
        const char* name;
        QString path;
        const char* says;
    } cases[] = {
        {"named pipe", fifo.path(), "not a regular file"},
        {"millions of chunks", chunky, "more than 1024 chunks"},
    };
    FrmAudioEditor* w = g_frmAudioEditor();
    w->show();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.clear();
        dialogs.choose({c.path});
        w->cmdSelectPath->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.shown().empty(); }, 30000));
        // The window's thread never waited on the pipe for a writer.
        EXPECT_FALSE(fifo.heldAReader());
        EXPECT_TRUE(boxes.prompts().first().contains(c.says)) << boxes.prompts().first().toStdString();
        EXPECT_TRUE(boxes.prompts().first().contains(c.path));
        EXPECT_EQ(w->lblInfoSamples->text(), "Info Samples");
    }
}

// A file that fails to load after another was shown: the window shows no
// number, caption or selection of the file before, and saves nothing from it.
TEST_F(AudioEditorWindowTest, AFileThatFailsToLoadLeavesNothingOfTheOneBefore)
{
    const QString good = fixtures::writeToneWav(dir + "good.wav", 2.0);
    const QString text = fixtures::writeBytes(dir + "notes.wav", "no sound in here");
    for (const QString& bad : {text, dir}) {
        SCOPED_TRACE(bad.toStdString());
        FrmAudioEditor* w = open(good);
        w->setWindowTitle("Good Song");
        ASSERT_EQ(w->lblInfoSamples->text(), "44100");
        boxes.clear();
        dialogs.choose({bad});
        w->cmdSelectPath->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.shown().empty(); }, 10000));
        EXPECT_EQ(w->txtWavFile->text(), bad);
        EXPECT_EQ(w->windowTitle(), "Audio Editor");
        const std::pair<QLabel*, const char*> designed[] = {
            {w->lblInfoSamples, "Info Samples"},   {w->lblInfoChannels, "Info Channels"},
            {w->lblInfoBits, "Info Bits"},         {w->lblLength, "Length"},
            {w->lblNumOfSamples, "Num Of Samples"}, {w->lblSamplesStart, "Samples Start"},
            {w->lblSamplesEnd, "Samples End"},     {w->lblTimeStart, "Time Start"},
            {w->lblTimeEnd, "Time End"},           {w->lblSelectedTime, "Time End"},
        };
        for (const auto& [label, caption] : designed)
            EXPECT_EQ(label->text().toStdString(), caption) << label->objectName().toStdString();
        // Nothing of the good file is saved under the bad one's name.
        boxes.clear();
        press(w, "Save Selection");
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].prompt, "No WAV file is loaded.");
    }
}

TEST_F(AudioEditorWindowTest, ValueLabelsReadOutTheNumbersTheyShow)
{
    FrmAudioEditor* w = open(fixtures::writeToneWav(dir + "tone.wav", 2.0));
    w->cAudioEditor1->SelectFrames(22050, 66150);
    const struct {
        QLabel* label;
        const char* name;
        const char* caption;
        const char* shows;
    } rows[] = {
        {w->lblInfoSamples, "lblInfoSamples", "Info Samples", "44100"},
        {w->lblInfoChannels, "lblInfoChannels", "Info Channels", "2"},
        {w->lblInfoBits, "lblInfoBits", "Info Bits", "16"},
        {w->lblLength, "lblLength", "Time Length", "0:00:02"},
        {w->lblNumOfSamples, "lblNumOfSamples", "Total Samples", "88200"},
        {w->lblSamplesStart, "lblSamplesStart", "Samples Start", "22050"},
        {w->lblSamplesEnd, "lblSamplesEnd", "Samples End", "66150"},
        {w->lblTimeStart, "lblTimeStart", "Time Start", "500 ms [0:00:00]"},
        {w->lblTimeEnd, "lblTimeEnd", "Time End", "1500 ms [0:00:02]"},
        {w->lblSelectedTime, "lblSelectedTime", "Selected Time", "1000 ms [0:00:01]"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(r.label->objectName(), r.name);
        EXPECT_EQ(r.label->text(), r.shows);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(r.label);
        ASSERT_TRUE(a);
        EXPECT_EQ(a->text(QAccessible::Name), r.shows);
        // The row's caption is still told, after the number.
        EXPECT_EQ(a->text(QAccessible::Description), r.caption);
    }
}

TEST_F(AudioEditorWindowTest, AtItsSmallestTheToolbarShowsEveryCaptionWhole)
{
    // The menu pictures, as the main window gives them: each caption sits beside one.
    QPixmap picture(16, 16);
    picture.fill(Qt::darkBlue);
    for (int i = 0; i < 80; ++i)
        main.imgMenu->setImage(i, QIcon(picture));
    if (g_frmAudioEditorLoaded())
        g_frmAudioEditor()->close();
    QTest::qWait(1);
    FrmAudioEditor* w = g_frmAudioEditor();
    w->show();
    w->resize(1, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->width() <= w->minimumSizeHint().width() + 1; }, 10000));
    cToolbar* bar = w->tlbrList;
    int buttons = 0;
    for (int i = 1; i <= bar->ButtonCount(); ++i) {
        QAbstractButton* b = bar->ButtonWidget(i);
        if (!b)
            continue;
        SCOPED_TRACE(b->text().toStdString());
        ++buttons;
        EXPECT_TRUE(b->isVisible());
        EXPECT_FALSE(b->icon().isNull());
        EXPECT_GE(b->width(), b->sizeHint().width());
        EXPECT_GE(b->height(), b->sizeHint().height());
        // Inside the strip that hosts the toolbar, and inside the window.
        const QRect inList(b->mapTo(w->picList, QPoint(0, 0)), b->size());
        EXPECT_TRUE(w->picList->rect().contains(inList));
        const QRect inWindow(b->mapTo(w, QPoint(0, 0)), b->size());
        EXPECT_TRUE(w->rect().contains(inWindow));
    }
    EXPECT_EQ(buttons, 7);
}

} // namespace
