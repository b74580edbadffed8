// The audio CD maker and the duplicator read each row's file as a track away
// from the window's thread: a file held as on a stalled mount leaves the
// window answering, and closing the window while a read is held ends the job.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "cdtools/frmAudioCDDuplicator.h"
#include "cdtools/frmCDBurner.h"
#include "components/controls/cGrid.h"
#include "lists/ItemRow.h"
#include "platform/ProgramDir.h"
#include "tests/audiotools/AudioToolsTestSupport.h"
#include "tests/components/audio/StalledReads.h"
#include "tests/components/disc/BurnFixture.h"
#include "tests/components/disc/CdImageFixture.h"
#include "tests/support/TestEnv.h"
#include "tests/toolframe/ToolFrameTestSupport.h"

namespace {

class BurnerTrackReadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testenv::installMachineKeys();
        root = testenv::tempRoot() + "/trackread/";
        QDir(root).removeRecursively();
        for (const char* dir : {"src", "disc", "items"})
            QDir().mkpath(root + dir);
        temp = AppPath() + "/duptmp/";
        QDir(temp).removeRecursively();
        source = cdimage::writeImage(root + "src", "album", {{380}, {450}}, 11);
        cue = root + "disc/out.cue";
        qputenv("KELVANE_CD_IMAGES", source.cue.toLocal8Bit());
        qputenv("KELVANE_CD_WRITERS", cue.toLocal8Bit());
        main = std::make_unique<tftest::FakeMain>(&services);
    }
    void TearDown() override
    {
        if (g_frmCDBurnerLoaded())
            g_frmCDBurner()->close();
        if (g_frmAudioCDDuplicatorLoaded())
            g_frmAudioCDDuplicator()->close();
        qunsetenv("KELVANE_CD_IMAGES");
        qunsetenv("KELVANE_CD_WRITERS");
    }

    tftest::ServiceLog services;
    std::unique_ptr<tftest::FakeMain> main;
    testenv::ScriptedMessageBoxes boxes;
    QString root, temp, cue;
    cdimage::Image source;
};

// Every read of a row's file is held until the window's own timer has ticked
// five times through it: the window answers meanwhile, and once let through
// the rows are burnt in their order, a pipe in an item's place left out as a
// file that cannot be added. Closing the window while a read is held asks to
// abort; Yes ends the job at once with nothing written, and the window then
// closes.
TEST_F(BurnerTrackReadTest, RowsAreReadWithTheWindowAnswering)
{
    using namespace burnfixture;
    const Item one = makeItem(root + "items/one.wav", 4.2, 440);
    const Item two = makeItem(root + "items/two.mp3", 4.5, 660);
    ASSERT_FALSE(one.path.isEmpty());
    ASSERT_FALSE(two.path.isEmpty());
    const QString pipe = root + "items/pipe.wav";
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString& f : {one.path, pipe, two.path})
        main->addRow(true, {{"Item Name", QFileInfo(f).fileName()}, {"COL_FILE", f}, {"COL_RANGE_ALL", "1"}});

    enum Window { Burner, Duplicator };
    struct Case {
        const char* name;
        Window window;
        bool closeWhileHeld;
    };
    const Case cases[] = {
        {"CD burner", Burner, false},
        {"CD burner closed while a row is read", Burner, true},
        {"duplicator", Duplicator, false},
        {"duplicator closed while a row is read", Duplicator, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        QFile::remove(cue);
        QFile::remove(root + "disc/out.bin");
        boxes.clear();
        ToolWindow* w = nullptr;
        if (k.window == Burner) {
            FrmCDBurner* b = g_frmCDBurner();
            CopyGridRows(main->cGrid1, b->cGrid1, true);
            w = b;
        } else {
            FrmAudioCDDuplicator* d = g_frmAudioCDDuplicator();
            d->cboDevices->setCurrentIndex(d->cboDevices->count() - 1);
            ASSERT_EQ(d->cGrid1->RowCount(), 2);
            w = d;
        }
        for (QCheckBox* box :
             {w->chkPlaySound, w->chkOpenDestFolder, w->chkNoticeApp, w->chkTurnOffComputer, w->chkOpenCDdrive})
            if (box)
                box->setChecked(false);
        // The duplicator's rows are its own rips, read only once every track
        // is ripped: a read is held from then on.
        auto adding = [&] {
            return k.window == Burner || static_cast<FrmAudioCDDuplicator*>(w)->lblCurrentTrack->text() == "Done.";
        };
        QPointer<ToolWindow> guard(w);
        StalledReads opens;
        int ticks = 0, released = 0, abandoned = 0;
        QTimer ticker;
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            if (opens.stalled() <= released + abandoned || ++ticks < 5)
                return;
            ticks = 0;
            if (k.closeWhileHeld && abandoned == 0 && adding() && guard) {
                ++abandoned;
                boxes.answer(vbYes);
                guard->close();
                return;
            }
            ++released;
            opens.releaseOne();
        });
        ticker.start();
        w->cmdConvert->click();
        if (k.window == Burner)
            ASSERT_TRUE(QTest::qWaitFor([&] { return w->cmdConvert->isEnabled(); }, 60000));
        else
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return !guard || guard->Unloaded() || !static_cast<FrmAudioCDDuplicator*>(w)->JobRunning(); },
                60000));
        ticker.stop();
        EXPECT_EQ(opens.onWindowThread(), 0) << "a row's file was read on the window's thread";

        if (k.closeWhileHeld) {
            ASSERT_TRUE(guard);
            EXPECT_EQ(abandoned, 1) << "no row's read was held";
            EXPECT_EQ(released, 0) << "the job read on after the abort";
            EXPECT_EQ(boxes.prompts(), QStringList{"Abort operation?" + QString(38, ' ')});
            const QStringList log = attest::logMessages(w->txtLog);
            EXPECT_TRUE(log.contains("Aborted.")) << log.join("|").toStdString();
            EXPECT_EQ(w->lblCurrentTrack->text(), "Aborted.");
            EXPECT_FALSE(QFileInfo::exists(cue));
            EXPECT_TRUE(w->cmdConvert->isEnabled());
            w->close();
            EXPECT_FALSE(g_frmCDBurnerLoaded() || g_frmAudioCDDuplicatorLoaded());
            continue;
        }
        EXPECT_EQ(abandoned, 0);
        // Each row's read, and the burn's own of each track, was held.
        EXPECT_GE(released, k.window == Burner ? 5 : 4);
        const ReadBack rb = readImage(cue);
        ASSERT_TRUE(rb.ok) << rb.why.toStdString();
        if (k.window == Burner) {
            const QStringList log = attest::logMessages(w->txtLog);
            EXPECT_EQ(log.mid(0, 4), QStringList({"Preparing to burn: 3 tracks.", "List the files to burn...",
                                                   "Cannot add pipe.wav", "Writing track..."}));
            EXPECT_EQ(log.last(), "Done.");
            ASSERT_EQ(rb.tracks.size(), 2u);
            EXPECT_TRUE(rb.tracks[0] == padToSectors(one.pcm));
            EXPECT_TRUE(rb.tracks[1] == padToSectors(two.pcm));
            w->close();
        } else {
            EXPECT_FALSE(guard) << "the duplicator stays after its copy";
            ASSERT_EQ(rb.tracks.size(), 2u);
            for (int t = 1; t <= 2; ++t)
                EXPECT_TRUE(rb.tracks[size_t(t - 1)] == source.track(t)) << "track " << t;
        }
    }
}

} // namespace
