// The one-file conversion window: its caller waits in the modal show until
// the conversion is done or aborted.
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "audiotools/frmAudioEditorProc.h"
#include "components/audio/cAudioConverter.h"
#include "settings/Options.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/audiotools/AudioToolsTestSupport.h"
#include "tests/toolframe/ToolFrameTestSupport.h"

namespace {

class OneFileConversionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        attest::startProgram();
        audio = testenv::tempRoot() + "/audio/";
        work = testenv::tempRoot() + "/work/";
        QDir().mkpath(audio);
        QDir().mkpath(work);
        main.g_bAbortedAudioEditor = false;
    }

    // Loads the window, hands it the two paths and waits in its modal show.
    void convert(const QString& source, const QString& dest, const std::function<void(FrmAudioEditorProc*)>& set = {})
    {
        FrmAudioEditorProc* w = g_frmAudioEditorProc();
        if (set)
            set(w);
        w->ConvertFile(source, dest);
        w->exec();
    }

    tftest::FakeMain main;
    QString audio, work;
};

TEST_F(OneFileConversionTest, ConvertsAndClosesItselfWithTheFormatTheCallerAskedFor)
{
    g_lSamplesWAV = 22050;
    g_lChannelsWAV = 0;
    g_lBitrateWAV = 8;
    g_sTagArtist = "Speaker [TRACK_NUM]";
    g_sTagSong = "[PROG_NAME]";
    g_sTagAlbum = "";
    const QString mp3 = audio + "song.mp3";
    ASSERT_TRUE(fixtures::runFfmpeg({"-f", "lavfi", "-i", "sine=f=440:d=2", "-ac", "2", "-c:a", "libmp3lame",
                                     "-metadata", "artist=Source", mp3}));
    const QString wav = fixtures::writeToneWav(audio + "tts.wav", 2.0);
    const QString mp3Entry = "MP3 - MPEG-1 Audio Layer 3 (*.mp3)";

    struct Case {
        const char* name;
        QString source, dest;
        bool convertTo;
        QString codec;
        int rate, channels;
        QString artist, title;
    };
    const Case cases[] = {
        // Plain WAV with the WAV settings, no tags, whatever the names say.
        {"plain", mp3, work + "tmpeditor.wav", false, "pcm_u8", 22050, 1, "", ""},
        {"plain, other extension", wav, work + "out.mp3", false, "pcm_u8", 22050, 1, "", ""},
        // The target format with the default tags.
        {"to MP3", wav, work + "TTS_x.mp3", true, "mp3", 44100, 2, "Speaker 1", g_sAppName},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        convert(k.source, k.dest, [&](FrmAudioEditorProc* w) {
            EXPECT_EQ(w->windowTitle(), "Preparing Audio Analyzer");
            EXPECT_EQ(w->lblCurrentTrack->text(), "Preparing...");
            w->g_bConvertTo = k.convertTo;
            w->g_sConvertToTarget = mp3Entry;
        });
        // The window has unloaded itself: the modal show returned.
        EXPECT_FALSE(g_frmAudioEditorProcLoaded());
        EXPECT_FALSE(main.g_bAbortedAudioEditor);
        const fixtures::Probe p = fixtures::probe(k.dest);
        ASSERT_TRUE(p.ok);
        EXPECT_EQ(p.codec, k.codec);
        EXPECT_EQ(p.sampleRate, k.rate);
        EXPECT_EQ(p.channels, k.channels);
        EXPECT_NEAR(p.seconds, 2.0, 0.1);
        EXPECT_EQ(p.tags.value("artist"), k.artist);
        EXPECT_EQ(p.tags.value("title"), k.title);
        QFile::remove(k.dest);
    }
    // A fresh window converts to plain WAV again unless told otherwise.
    EXPECT_FALSE(g_frmAudioEditorProc()->g_bConvertTo);
    g_frmAudioEditorProc()->close();
}

TEST_F(OneFileConversionTest, AbortOrCloseMidWaySetsTheFlagAndLeavesNoFile)
{
    const QString source = fixtures::writeToneWav(audio + "long.wav", 120.0);
    for (bool byClosing : {false, true}) {
        SCOPED_TRACE(byClosing ? "closed" : "aborted");
        main.g_bAbortedAudioEditor = false;
        QString label;
        convert(source, work + "tmpeditor.wav", [&](FrmAudioEditorProc* w) {
            w->g_bConvertTo = true;
            w->g_sConvertToTarget = "MP3 - MPEG-1 Audio Layer 3 (*.mp3)";
            QObject::connect(w->cAudioConverter1, &cAudioConverter::JobProgress, w, [w, byClosing](int) {
                if (w->Unloaded() || !w->Converting())
                    return;
                if (byClosing)
                    w->close();
                else
                    w->cmdAbort->click();
            });
            // Connected after the window's own handler: reads the label it wrote.
            QObject::connect(w->cAudioConverter1, &cAudioConverter::JobAborted, w,
                             [&label, w] { label = w->lblCurrentTrack->text(); });
        });
        EXPECT_FALSE(g_frmAudioEditorProcLoaded());
        EXPECT_TRUE(main.g_bAbortedAudioEditor);
        if (!byClosing)
            EXPECT_EQ(label, "Aborted.");
        EXPECT_TRUE(QTest::qWaitFor([&] { return attest::filesIn(work).isEmpty(); }, 5000))
            << attest::filesIn(work).join(",").toStdString();
    }
}

TEST_F(OneFileConversionTest, AnErrorStaysOnShowAndTellsTheCaller)
{
    FrmAudioEditorProc* w = g_frmAudioEditorProc();
    w->g_bConvertTo = true;
    w->g_sConvertToTarget = "MP3 - MPEG-1 Audio Layer 3 (*.mp3)";
    w->show();
    w->ConvertFile(audio + "missing.mp3", work + "tmpeditor.wav");
    ASSERT_TRUE(QTest::qWaitFor([w] { return w->lblCurrentTrack->text().endsWith("(1)"); }, 20000))
        << w->lblCurrentTrack->text().toStdString();
    QTest::qWait(50);
    EXPECT_TRUE(g_frmAudioEditorProcLoaded());
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->g_bConvertTo);
    EXPECT_FALSE(w->Timer1->isActive());
    // No file came out, so the caller must not open one.
    EXPECT_TRUE(main.g_bAbortedAudioEditor);
    w->close();
    EXPECT_FALSE(g_frmAudioEditorProcLoaded());
    EXPECT_TRUE(attest::filesIn(work).isEmpty());
}

} // namespace
