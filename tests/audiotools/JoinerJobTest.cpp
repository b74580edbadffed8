// The joiner job over the rows of the joiner window: one output from whole
// files and ranges, its name, the overwrite question, and aborting.
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>

#include "audiotools/frmJoiner.h"
#include "components/audio/cAudioJoin.h"
#include "components/controls/cProgressBar.h"
#include "settings/SettingsWidgets.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/audiotools/AudioToolsTestSupport.h"
#include "tests/toolframe/ToolFrameTestSupport.h"
#include "toolframe/NameMacros.h"

namespace {

using Cells = QMap<QString, QString>;

class JoinerJobTest : public ::testing::Test {
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
        if (g_frmJoinerLoaded() && w->cmdConvert->isEnabled())
            w->close();
    }

    QString wav(const QString& name, double seconds) { return fixtures::writeToneWav(audio + name, seconds); }
    static Cells row(const QString& path, const QString& start = {}, const QString& length = {})
    {
        Cells c{{"Item Name", QFileInfo(path).fileName()}, {"COL_FILE", path}};
        c["COL_RANGE_ALL"] = start.isNull() ? "1" : "0";
        if (!start.isNull()) {
            c["COL_RANGE_START_TIME"] = start;
            c["COL_RANGE_LENGTH_TIME"] = length;
        }
        return c;
    }
    FrmJoiner* open(const QList<Cells>& rows, const QString& format = "MP3")
    {
        for (const Cells& r : rows)
            main->addRow(true, r);
        w = g_frmJoiner();
        CopyGridRows(main->cGrid1, w->cGrid1, true);
        w->txtToPath->setEditText(out);
        attest::chooseFormat(w, format);
        w->txtJoinedFileName->setText("joined.[dest_extension]");
        for (QCheckBox* box : {w->chkPlaySound, w->chkOpenDestFolder, w->chkTurnOffComputer, w->chkNoticeApp})
            box->setChecked(false);
        return w;
    }
    void run()
    {
        w->cmdConvert->click();
        ASSERT_TRUE(attest::waitForJobEnd(w));
    }
    QStringList log() const { return attest::logMessages(w->txtLog); }

    tftest::ServiceLog services;
    std::unique_ptr<tftest::FakeMain> main;
    FrmJoiner* w = nullptr;
    QString audio, out;
};

TEST_F(JoinerJobTest, JoinsWholeItemsAndRangesIntoOneFileTaggedFromRowOne)
{
    const QString a = wav("a.wav", 1.0), b = wav("b.wav", 5.0), c = wav("c.wav", 1.5), d = wav("d.wav", 1.0);
    Cells first = row(a);
    first["COL_TAG_ARTIST"] = "Ann";
    first["COL_TAG_TITLE"] = "Track [TRACK_NUM]";
    Cells ranged = row(b, "1", "2");
    ranged["COL_TAG_ARTIST"] = "Bob"; // only row 1's tags count
    open({first, ranged, row(c), row(d, "x", "2")});

    run();

    EXPECT_EQ(log(), QStringList({"Preparing to join: 4 tracks.", "Destination format: MP3",
                                  "d.wav: the range is not a number; the whole file is joined.", "Add a.wav...",
                                  "Add b.wav...", "Add c.wav...", "Add d.wav...", "Done."}));
    const fixtures::Probe p = fixtures::probe(out + "joined.mp3");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.codec, "mp3");
    EXPECT_NEAR(p.seconds, 1.0 + 2.0 + 1.5 + 1.0, 0.1);
    EXPECT_EQ(p.tags.value("artist"), "Ann");
    EXPECT_EQ(p.tags.value("title"), "Track 1");
    EXPECT_EQ(attest::filesIn(out), QStringList({"joined.mp3"}));
    EXPECT_EQ(main->balloons.value(0).section('|', 0, 0), "Done.");
    EXPECT_EQ(w->lblCurrentTrack->text(), "Done.");
    EXPECT_EQ(w->prgTotal->ProgressValue(), 400);
    EXPECT_EQ(w->lblFilesToConvert->text(), "Files: 4/4");

    // A second job numbers its files afresh: every file gets its line again.
    testenv::ScriptedMessageBoxes boxes;
    boxes.answer(vbYes);
    run();
    const QStringList again = log().mid(8);
    EXPECT_EQ(again.filter(QRegularExpression("^Add ")).size(), 4) << again.join("\n").toStdString();
    EXPECT_EQ(again.mid(again.size() - 3), QStringList({"Add c.wav...", "Add d.wav...", "Done."}));
}

// The name box's caption is the tools' "File Name Format:", with the
// "Parameters" link on its line, to its right.
TEST_F(JoinerJobTest, TheNameBoxIsHeadedFileNameFormatWithParametersOnItsLine)
{
    w = g_frmJoiner();
    w->show();
    w->TabSettings->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(w->lblJoinedFileName->text(), "File Name Format:");
    EXPECT_EQ(w->txtJoinedFileName->accessibleName(), "File Name Format:");
    const QRect caption(w->lblJoinedFileName->mapTo(w, QPoint(0, 0)), w->lblJoinedFileName->size());
    const QRect box(w->txtJoinedFileName->mapTo(w, QPoint(0, 0)), w->txtJoinedFileName->size());
    const QRect link(w->lblParameters->mapTo(w, QPoint(0, 0)), w->lblParameters->size());
    EXPECT_TRUE(link.center().y() >= caption.top() && link.center().y() <= caption.bottom())
        << "link at " << link.y() << ", caption at " << caption.y();
    EXPECT_GT(link.left(), box.right());
    EXPECT_GT(box.left(), caption.right());
}

TEST_F(JoinerJobTest, TheNameComesFromTheTemplateAndTheTargetFormat)
{
    open({row(wav("a.wav", 1.0)), row(wav("b.wav", 1.0))});
    const QDateTime at(QDate(2010, 12, 8), QTime(14, 5, 9));
    const QString date = ShortDateText(at.date()).replace('/', '-');
    struct Case {
        const char* format;
        const char* templ;
        QString name;
    };
    const Case cases[] = {
        {"MP3", "Joined_File-[date]-[time].[dest_extension]", "Joined_File-" + date + "-14-05-09.mp3"},
        {"ACM", "x.[dest_extension]", "x.acm"},
        {"WAV", "x.[source_extension]", "x.[source_extension]"},
        {"WAV", "y.OGG.[source_extension]", "y.OGG.[source_extension]"},
        {"WAV", "y.[source_extension].Raw", "y.raw.Raw"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.templ);
        attest::chooseFormat(w, k.format);
        EXPECT_EQ(w->ExpandJoinedFileName(k.templ, at), k.name);
    }
    // No format chosen: the extension macro stays.
    w->cboTargetFormat->setCurrentIndex(-1);
    EXPECT_EQ(w->ExpandJoinedFileName("z.[dest_extension]", at), "z.[dest_extension]");
}

TEST_F(JoinerJobTest, AnExistingOutputIsAskedForAndAnInputIsNeverTheOutput)
{
    const QString a = wav("a.wav", 1.0), b = wav("b.wav", 1.0);
    fixtures::writeBytes(out + "joined.wav", "kept");
    open({row(a), row(b)}, "WAV");
    testenv::ScriptedMessageBoxes boxes;
    for (int answer : {vbNo, vbCancel}) {
        boxes.answer(answer);
        w->cmdConvert->click();
        EXPECT_TRUE(w->cmdConvert->isEnabled() && w->cmdExit->isEnabled());
        EXPECT_EQ(log().last(), "File already exists.");
        EXPECT_EQ(fixtures::readAll(out + "joined.wav"), QByteArray("kept"));
    }
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[0].prompt, "The file: '" + out + "joined.wav' already exists.\r\n\r\nOverwrite it?");
    EXPECT_TRUE(main->balloons.isEmpty());

    // Join is still usable: Yes joins over the old file.
    boxes.answer(vbYes);
    run();
    EXPECT_NEAR(fixtures::probe(out + "joined.wav").seconds, 2.0, 0.05);

    // The output named like one of the inputs: the job fails, the input stays.
    const QByteArray before = fixtures::readAll(b);
    w->txtToPath->setEditText(audio);
    w->txtJoinedFileName->setText("b.wav");
    boxes.clear();
    run();
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_TRUE(QRegularExpression("^Error: .+b\\.wav.+\\(31\\)$").match(log().last()).hasMatch())
        << log().last().toStdString();
    EXPECT_EQ(fixtures::readAll(b), before);
    EXPECT_TRUE(w->m_bJobError);
    EXPECT_TRUE(w->cmdConvert->isEnabled());
}

TEST_F(JoinerJobTest, AbortLeavesNoFileAndResetsTheJoinList)
{
    open({row(wav("long1.wav", 60.0)), row(wav("long2.wav", 60.0))});
    testenv::ScriptedMessageBoxes boxes;
    w->cmdAbort->click(); // nothing runs: no question
    EXPECT_TRUE(boxes.shown().empty());

    ASSERT_TRUE(attest::abortMidWay(w, boxes));

    EXPECT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(log().last(), "Aborted.");
    EXPECT_EQ(w->lblCurrentTrack->text(), "Aborted.");
    EXPECT_EQ(main->balloons.size(), 1);
    EXPECT_TRUE(main->balloons[0].startsWith("Aborted.|"));
    EXPECT_EQ(w->cAudioJoin1->JoinFileCount(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return attest::filesIn(out).isEmpty(); }, 5000))
        << attest::filesIn(out).join(",").toStdString();
}

} // namespace
