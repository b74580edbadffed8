// The audio editor component: which WAV files it opens and how it refuses
// the others, the sample-exact save of a range, the waveform, selection and
// zoom, playing, and stopping work that runs.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

#include "components/audio/AudioJobErrors.h"
#include "components/audio/SoundDevice.h"
#include "components/audio/WavFile.h"
#include "components/audio/cAudioEditor.h"
#include "tests/components/audio/EditorFixtures.h"
#include "tests/components/audio/HeldWork.h"
#include "tests/components/audio/StalledReads.h"
#include "tests/support/TestEnv.h"

using namespace kvaudio;

namespace {

bool haveSoundOutput()
{
    QList<kvsound::Device> outputs;
    return kvsound::listOutputs(&outputs) && !outputs.isEmpty();
}

void put16(QByteArray& b, quint16 v)
{
    b.append(char(v & 0xFF)).append(char(v >> 8));
}
void put32(QByteArray& b, quint32 v)
{
    put16(b, quint16(v & 0xFFFF));
    put16(b, quint16(v >> 16));
}

struct WavLayout {
    int tag = 1; // 1 PCM, 3 float, 0xFFFE extensible PCM
    int channels = 2;
    int rate = 44100;
    int bits = 16;
};

// The sample bytes of frame i, channel c: a ramp that differs per channel,
// so a copy taken from the wrong offset or channel shows.
QByteArray sampleBytes(const WavLayout& s, qint64 i, int c)
{
    const double v = std::sin(double(i) * (0.01 + 0.003 * c)) * 0.8;
    QByteArray b;
    if (s.tag == 3) {
        if (s.bits == 32) {
            const float f = float(v);
            b.append(reinterpret_cast<const char*>(&f), 4);
        } else {
            b.append(reinterpret_cast<const char*>(&v), 8);
        }
        return b;
    }
    switch (s.bits) {
    case 8:
        b.append(char(quint8(128 + int(v * 127))));
        break;
    case 16:
        put16(b, quint16(qint16(v * 32767)));
        break;
    case 24: {
        const qint32 x = qint32(v * 8388607);
        b.append(char(x & 0xFF)).append(char((x >> 8) & 0xFF)).append(char((x >> 16) & 0xFF));
        break;
    }
    case 32:
        put32(b, quint32(qint32(v * 2147483647.0)));
        break;
    }
    return b;
}

QByteArray sampleData(const WavLayout& s, qint64 frames)
{
    QByteArray d;
    for (qint64 i = 0; i < frames; ++i)
        for (int c = 0; c < s.channels; ++c)
            d.append(sampleBytes(s, i, c));
    return d;
}

// A WAV in the layout common writers use; `extra` chunks go before "data".
QByteArray wavBytes(const WavLayout& s, const QByteArray& data, const QByteArray& extra = {})
{
    QByteArray fmt;
    const int align = s.channels * s.bits / 8;
    put16(fmt, quint16(s.tag));
    put16(fmt, quint16(s.channels));
    put32(fmt, quint32(s.rate));
    put32(fmt, quint32(s.rate * align));
    put16(fmt, quint16(align));
    put16(fmt, quint16(s.bits));
    if (s.tag == 0xFFFE) {
        put16(fmt, 22);
        put16(fmt, quint16(s.bits));
        put32(fmt, s.channels == 2 ? 3 : 4);
        put16(fmt, 1); // PCM sub-format GUID
        fmt.append(QByteArray::fromHex("000000001000800000aa00389b71"));
    }
    QByteArray body = "WAVE";
    body += "fmt ";
    put32(body, quint32(fmt.size()));
    body += fmt + extra + "data";
    put32(body, quint32(data.size()));
    body += data;
    if (data.size() & 1)
        body.append('\0');
    QByteArray out = "RIFF";
    put32(out, quint32(body.size()));
    return out + body;
}

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    return path;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every event of the component, in order, as text.
struct Events {
    explicit Events(cAudioEditor* e)
    {
        QObject::connect(e, &cAudioEditor::EditorFileInfo, [this](long r, long b, long c, long s, long n) {
            log << QStringLiteral("info %1 %2 %3 %4 %5").arg(r).arg(b).arg(c).arg(s).arg(n);
        });
        QObject::connect(e, &cAudioEditor::SelectionChanged, [this](long a, long b, long c, long d) {
            log << QStringLiteral("selection %1 %2 %3 %4").arg(a).arg(b).arg(c).arg(d);
        });
        QObject::connect(e, &cAudioEditor::EditorSaveDone, [this] { log << "done"; });
        QObject::connect(e, &cAudioEditor::EditorAborted, [this] { log << "aborted"; });
        QObject::connect(e, &cAudioEditor::EditorPlayEnded, [this] { log << "play ended"; });
        QObject::connect(e, &cAudioEditor::EditorError, [this](long code, const QString& text) {
            log << QStringLiteral("error %1").arg(code);
            lastError = text;
        });
        QObject::connect(e, &cAudioEditor::EditorProgress, [this](long p) { progress << int(p); });
    }
    bool waitFor(const QString& entry, int ms = 20000)
    {
        return QTest::qWaitFor([&] { return log.contains(entry); }, ms);
    }
    // Waits for the end event of a save.
    QString waitForEnd(int ms = 30000)
    {
        QString end;
        (void)QTest::qWaitFor(
            [&] {
                for (const QString& e : log)
                    if (e == "done" || e == "aborted" || e.startsWith("error"))
                        end = e;
                return !end.isEmpty();
            },
            ms);
        return end;
    }
    QStringList log;
    QList<int> progress;
    QString lastError;
};

class AudioEditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = testenv::tempRoot() + "/editor/";
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
    }
    QStringList filesInDir() const
    {
        return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    QString dir;
};

TEST_F(AudioEditorTest, OpensEveryPcmAndFloatLayoutAndCopiesItsRangeExactly)
{
    struct Case {
        const char* name;
        WavLayout layout;
    };
    const Case cases[] = {
        {"8-bit mono 8 kHz", {1, 1, 8000, 8}},
        {"16-bit stereo 44.1 kHz", {1, 2, 44100, 16}},
        {"24-bit stereo 96 kHz", {1, 2, 96000, 24}},
        {"32-bit mono 48 kHz", {1, 1, 48000, 32}},
        {"float stereo 22.05 kHz", {3, 2, 22050, 32}},
        {"double mono 11.025 kHz", {3, 1, 11025, 64}},
        {"extensible 24-bit stereo", {0xFFFE, 2, 44100, 24}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const WavLayout& s = c.layout;
        const qint64 frames = qint64(s.rate) * 3 / 2; // 1.5 s
        const QByteArray data = sampleData(s, frames);
        const QString src = writeFile(dir + "src.wav", wavBytes(s, data, QByteArray("LIST\x03\0\0\0abc\0", 12)));
        const QString out = dir + "cut.wav";
        QFile::remove(out);

        cAudioEditor editor;
        Events ev(&editor);
        editor.LoadWaveFile(src);
        const long seconds = std::lround(double(frames) / s.rate);
        ASSERT_TRUE(ev.waitFor(
            QStringLiteral("info %1 %2 %3 %4 %5").arg(s.rate).arg(s.bits).arg(s.channels).arg(seconds).arg(frames)))
            << ev.log.join(" | ").toStdString();
        ASSERT_TRUE(QTest::qWaitFor([&] { return editor.IsWaveformReady(); }, 10000));

        // 250 ms in, 1000 ms long: the frames by rounding once each.
        editor.SetInputFile(src);
        editor.setOutputFile(out);
        editor.setRangeStart(250);
        editor.setRangeLength(1000);
        editor.SaveRange();
        ASSERT_EQ(ev.waitForEnd(), "done") << ev.lastError.toStdString();
        EXPECT_EQ(ev.progress.last(), 100);

        WavFormat in, cut;
        ASSERT_EQ(ReadWavHeader(src, &in, nullptr), 0);
        ASSERT_EQ(ReadWavHeader(out, &cut, nullptr), 0);
        EXPECT_EQ(cut.fmtChunk, in.fmtChunk);
        const qint64 first = (250LL * s.rate + 500) / 1000, count = (1000LL * s.rate + 500) / 1000;
        EXPECT_EQ(cut.frames, count);
        const QByteArray bytes = readFile(out);
        EXPECT_EQ(bytes.mid(cut.dataOffset, cut.dataBytes), data.mid(first * in.blockAlign, count * in.blockAlign));
        EXPECT_EQ(bytes.size(), cut.dataOffset + cut.dataBytes + (cut.dataBytes & 1));
    }
}

TEST_F(AudioEditorTest, ASelectionOfAFiveSecondFileSavesTheExactFramesAndNothingElseIsLeftBeside)
{
    const WavLayout s;
    const QByteArray data = sampleData(s, 5 * 44100);
    const QString src = writeFile(dir + "five.wav", wavBytes(s, data));
    cAudioEditor editor;
    Events ev(&editor);
    editor.LoadWaveFile(src);
    ASSERT_TRUE(ev.waitFor("info 44100 16 2 5 220500"));
    editor.SetInputFile(src);
    editor.setOutputFile(dir + "sel.wav");
    editor.setRangeStart(1500);
    editor.setRangeLength(4250 - 1500);
    editor.SaveRange();
    ASSERT_EQ(ev.waitForEnd(), "done");
    WavFormat cut;
    ASSERT_EQ(ReadWavHeader(dir + "sel.wav", &cut, nullptr), 0);
    EXPECT_EQ(cut.frames, 121275);
    EXPECT_EQ(cut.sampleRate, 44100);
    EXPECT_EQ(readFile(dir + "sel.wav").mid(cut.dataOffset), data.mid(66150 * 4, 121275 * 4));
    EXPECT_EQ(filesInDir(), QStringList({"five.wav", "sel.wav"}));
}

TEST_F(AudioEditorTest, RefusesDamagedAndForeignFilesWithAClearErrorAndStaysUsable)
{
    const WavLayout s;
    const QByteArray good = wavBytes(s, sampleData(s, 44100));
    QByteArray hugeData = good;
    hugeData.replace(40, 4, QByteArray("\x00\x00\x00\x70", 4)); // data size far beyond the file
    QByteArray hugeList = wavBytes(s, sampleData(s, 100), QByteArray("LIST\xff\xff\xff\x0f", 8));
    WavLayout adpcm;
    adpcm.tag = 2;
    adpcm.bits = 4;
    WavLayout six;
    six.channels = 6;

    struct Case {
        const char* name;
        QByteArray bytes; // empty with `missing`: no file at all
        long code;
        const char* says;
        bool missing = false;
    };
    const Case cases[] = {
        {"text renamed .wav", "Just some notes, not audio.\n", ErrNotWav, "is not a WAV file"},
        {"empty file", "", ErrSourceEmpty, "is empty"},
        {"missing file", "", ErrSourceMissing, "does not exist", true},
        {"header cut short", good.left(30), ErrWavTruncated, "ends inside its header"},
        {"data cut short", good.left(good.size() / 2), ErrWavTruncated, "truncated"},
        {"data size beyond the file", hugeData, ErrWavTruncated, "claims 1879048192 bytes"},
        {"other chunk beyond the file", hugeList, ErrWavChunkTooLarge, "\"LIST\" chunk"},
        {"compressed audio", wavBytes(adpcm, QByteArray(400, '\1')), ErrWavUnsupported, "compressed"},
        {"six channels", wavBytes(six, sampleData(six, 10)), ErrWavUnsupported, "6 channels"},
        {"RIFF of another kind", QByteArray("RIFF\x04\0\0\0AVI ", 12), ErrNotWav, "is not a WAV file"},
    };
    cAudioEditor editor;
    Events ev(&editor);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir + "bad.wav";
        QFile::remove(path);
        if (!c.missing)
            writeFile(path, c.bytes);
        ev.log.clear();
        editor.LoadWaveFile(path);
        ASSERT_TRUE(ev.waitFor(QStringLiteral("error %1").arg(c.code))) << ev.log.join(" | ").toStdString();
        EXPECT_TRUE(ev.lastError.contains(c.says)) << ev.lastError.toStdString();
        EXPECT_TRUE(ev.lastError.contains(path)) << ev.lastError.toStdString();
        EXPECT_EQ(ev.log.size(), 1);
        EXPECT_EQ(editor.StartPlayback(), ErrNoFileLoaded);
        editor.grab(); // draws an empty view without trouble

        // The same component opens a sound file next.
        ev.log.clear();
        editor.LoadWaveFile(writeFile(dir + "good.wav", good));
        EXPECT_TRUE(ev.waitFor("info 44100 16 2 1 44100"));
    }
}

TEST_F(AudioEditorTest, ReadsTheSixtyFourBitHeaderOfFilesPastFourGigabytes)
{
    WavFormat f;
    f.channels = 2;
    f.sampleRate = 44100;
    f.bitsPerSample = 16;
    f.blockAlign = 4;
    f.fmtChunk = wavBytes(WavLayout(), {}).mid(20, 16);
    const qint64 dataBytes = 5LL * 1024 * 1024 * 1024; // 5 GB, sparse on disk
    const QByteArray header = MakeWavHeader(f, dataBytes);
    EXPECT_TRUE(header.startsWith("RF64"));
    const QString path = dir + "big.wav";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(header);
        ASSERT_TRUE(file.resize(header.size() + dataBytes));
    }
    WavFormat read;
    QString text;
    ASSERT_EQ(ReadWavHeader(path, &read, &text), 0) << text.toStdString();
    EXPECT_EQ(read.frames, dataBytes / 4);
    EXPECT_EQ(read.dataOffset, header.size());
    {
        // Cut below what ds64 promises: truncated, not misread.
        QFile file(path);
        ASSERT_TRUE(file.resize(header.size() + dataBytes - 4096));
    }
    EXPECT_EQ(ReadWavHeader(path, &read, &text), ErrWavTruncated);
    QFile::remove(path);

    // A small header stays plain RIFF.
    EXPECT_TRUE(MakeWavHeader(f, 1000).startsWith("RIFF"));
}

TEST_F(AudioEditorTest, SaveErrorsEndTheSaveOnceAndTouchNoFile)
{
    const WavLayout s;
    const QString src = writeFile(dir + "in.wav", wavBytes(s, sampleData(s, 44100 * 2)));
    const QString existing = writeFile(dir + "keep.wav", "old contents");
    struct Case {
        const char* name;
        QString out;
        long start, length;
        long code;
    };
    const Case cases[] = {
        {"over its own input", src, 0, 1000, ErrOutputIsInput},
        {"into a missing folder", dir + "nowhere/out.wav", 0, 1000, ErrOutputPath},
        {"no output named", QString(), 0, 1000, ErrOutputPath},
        {"range never set", dir + "keep.wav", -1, -1, ErrRange},
        {"empty range", dir + "keep.wav", 500, 0, ErrRange},
        {"start past the end", dir + "keep.wav", 2500, 100, ErrRange},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cAudioEditor editor;
        Events ev(&editor);
        editor.SetInputFile(src);
        editor.setOutputFile(c.out);
        editor.setRangeStart(c.start);
        editor.setRangeLength(c.length);
        editor.SaveRange();
        EXPECT_TRUE(ev.log.isEmpty()) << "an event came inside the call";
        EXPECT_EQ(ev.waitForEnd(), QStringLiteral("error %1").arg(c.code));
        QTest::qWait(20);
        EXPECT_EQ(ev.log.size(), 1);
        EXPECT_EQ(readFile(existing), "old contents");
        EXPECT_EQ(filesInDir(), QStringList({"in.wav", "keep.wav"}));
    }

    // A range running past the end is cut at the end.
    cAudioEditor editor;
    Events ev(&editor);
    editor.SetInputFile(src);
    editor.setOutputFile(dir + "tail.wav");
    editor.setRangeStart(1500);
    editor.setRangeLength(5000);
    editor.SaveRange();
    ASSERT_EQ(ev.waitForEnd(), "done");
    WavFormat tail;
    ASSERT_EQ(ReadWavHeader(dir + "tail.wav", &tail, nullptr), 0);
    EXPECT_EQ(tail.frames, 44100 * 2 - 66150);
}

TEST_F(AudioEditorTest, AbortingOrReleasingDuringASaveLeavesNoOutputAndKeepsAnOldFile)
{
    const WavLayout s;
    const QString src = dir + "long.wav";
    {
        const qint64 frames = 44100LL * 120;
        QByteArray data(int(frames * 4), '\x11');
        writeFile(src, wavBytes(s, data));
    }
    for (const bool release : {false, true}) {
        SCOPED_TRACE(release ? "released" : "aborted");
        const QString out = writeFile(dir + "out.wav", "earlier file");
        auto editor = std::make_unique<cAudioEditor>();
        Events ev(editor.get());
        editor->SetInputFile(src);
        editor->setOutputFile(out);
        editor->setRangeStart(0);
        editor->setRangeLength(120000);
        // The save held mid-way until it is stopped.
        HeldWork held;
        editor->SaveRange();
        ASSERT_TRUE(held.waitHeld());
        EXPECT_TRUE(editor->Saving());
        if (release) {
            editor->ReleaseComponent();
            EXPECT_FALSE(editor->Saving());
            QTest::qWait(50);
            EXPECT_TRUE(ev.log.isEmpty()) << ev.log.join(" | ").toStdString();
        } else {
            editor->AbortJob();
            EXPECT_EQ(ev.waitForEnd(), "aborted");
            QTest::qWait(50);
            EXPECT_EQ(ev.log, QStringList({"aborted"}));
        }
        editor.reset();
        EXPECT_EQ(readFile(out), "earlier file");
        EXPECT_EQ(filesInDir(), QStringList({"long.wav", "out.wav"}));
    }
}

// How far from the middle of a channel's lane the wave colour reaches in column x.
int waveReachAt(const QImage& img, int x, int lane, int lanes, QRgb wave)
{
    const int top = img.height() * lane / lanes, bottom = img.height() * (lane + 1) / lanes;
    const int mid = (top + bottom) / 2;
    int reach = 0;
    for (int y = top; y < bottom; ++y)
        if (img.pixel(x, y) == wave)
            reach = std::max(reach, std::abs(y - mid));
    return reach;
}

TEST_F(AudioEditorTest, DrawsEachChannelFromItsSummaries)
{
    // Left silent, right loud only in its last quarter; a long file takes
    // the parallel reading path, a short one the single one.
    for (const int seconds : {4, 480}) {
        SCOPED_TRACE(seconds);
        const qint64 frames = 44100LL * seconds;
        QByteArray data(int(frames * 4), '\0');
        for (qint64 i = frames * 3 / 4; i < frames; ++i) {
            const qint16 v = (i / 50) % 2 ? 30000 : -30000;
            std::memcpy(data.data() + i * 4 + 2, &v, 2);
        }
        const QString src = writeFile(dir + "shape.wav", wavBytes(WavLayout(), data));
        data.clear();

        cAudioEditor editor;
        editor.resize(400, 200);
        editor.setEditorAccentColor(0x0000FF); // red, as 0x00BBGGRR
        editor.setEditorBackColor(0x00FF00);
        Events ev(&editor);
        editor.LoadWaveFile(src);
        ASSERT_TRUE(QTest::qWaitFor([&] { return editor.IsWaveformReady(); }, 30000)) << ev.log.join(" | ").toStdString();
        const QRgb red = qRgb(255, 0, 0);
        QImage img = editor.grab().toImage().convertToFormat(QImage::Format_RGB32);
        // Lanes of 100 pixels: full scale is about 48 from the middle.
        EXPECT_LT(waveReachAt(img, 350, 0, 2, red), 3);
        EXPECT_GT(waveReachAt(img, 350, 1, 2, red), 38);
        EXPECT_LT(waveReachAt(img, 100, 1, 2, red), 3);

        // Zoomed deeper than a summary block, the samples themselves show.
        editor.SelectFrames(frames * 3 / 4, frames * 3 / 4 + 200);
        editor.ZoomSelection();
        EXPECT_EQ(editor.ViewStart(), frames * 3 / 4);
        EXPECT_EQ(editor.ViewEnd(), frames * 3 / 4 + 200);
        img = editor.grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_GT(waveReachAt(img, 200, 1, 2, red), 38);
        EXPECT_LT(waveReachAt(img, 200, 0, 2, red), 3);
        editor.ZoomRestore();
        EXPECT_EQ(editor.ViewEnd(), frames);
        QFile::remove(src);
    }
}

// The samples of a deep view and the file Play reads are the user's file:
// both are read away from the window's thread, as on a stalled mount. While
// the samples are held the view paints from its summaries; once let through
// the samples themselves show. Play waits for its file with the window's
// timer ticking, then plays.
TEST_F(AudioEditorTest, TheFileIsReadForADeepViewAndForPlayAwayFromTheWindowsThread)
{
    const qint64 frames = 44100LL * 4;
    QByteArray data(int(frames * 4), '\0');
    for (qint64 i = frames * 3 / 4; i < frames; ++i) {
        const qint16 v = (i / 50) % 2 ? 30000 : -30000;
        std::memcpy(data.data() + i * 4 + 2, &v, 2);
    }
    const QString src = writeFile(dir + "deep.wav", wavBytes(WavLayout(), data));
    cAudioEditor editor;
    editor.resize(400, 200);
    editor.setEditorAccentColor(0x0000FF);
    Events ev(&editor);
    editor.LoadWaveFile(src);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.IsWaveformReady(); }, 30000)) << ev.log.join(" | ").toStdString();
    // Red above the right lane's middle at column 50, whose frames are all
    // negative: only a summary block reaching into the positive frames before
    // the view draws there.
    auto redAboveMiddle = [&] {
        const QImage img = editor.grab().toImage().convertToFormat(QImage::Format_RGB32);
        int n = 0;
        for (int y = 100; y < 150 - 2; ++y)
            n += img.pixel(50, y) == qRgb(255, 0, 0);
        return n;
    };

    {
        StalledReads opens;
        editor.SelectFrames(frames * 3 / 4, frames * 3 / 4 + 200);
        editor.ZoomSelection();
        EXPECT_GT(redAboveMiddle(), 30) << "the summaries do not stand in while the samples are read";
        ASSERT_TRUE(QTest::qWaitFor([&] { return opens.stalled() == 1; }, 10000));
        EXPECT_GT(redAboveMiddle(), 30);
        EXPECT_EQ(opens.onWindowThread(), 0) << "the samples were read on the window's thread";
        opens.letThrough();
        opens.releaseOne();
        EXPECT_TRUE(QTest::qWaitFor([&] { return redAboveMiddle() == 0; }, 10000)) << "the samples never showed";
        EXPECT_EQ(opens.stalled(), 1) << "one read for one view";
    }

    if (!haveSoundOutput())
        return;
    StalledReads opens;
    int played = -1;
    const int ticksWhileHeld = opens.whileHeld([&] { played = editor.StartPlayback(); });
    ASSERT_EQ(played, 0) << ev.lastError.toStdString();
    EXPECT_EQ(opens.onWindowThread(), 0) << "Play opened the file on the window's thread";
    EXPECT_GE(ticksWhileHeld, 5) << "the window did not answer while Play opened the file";
    EXPECT_TRUE(editor.IsPlaying());
    EXPECT_TRUE(ev.waitFor("play ended"));
}

TEST_F(AudioEditorTest, TheMouseSelectsAndTheViewZooms)
{
    const WavLayout s;
    const QString src = writeFile(dir + "sel.wav", wavBytes(s, sampleData(s, 44100 * 4)));
    cAudioEditor editor;
    editor.resize(400, 100);
    Events ev(&editor);
    editor.LoadWaveFile(src);
    ASSERT_TRUE(ev.waitFor("info 44100 16 2 4 176400"));

    // A drag from a quarter to the middle, made right to left: 1 s to 2 s.
    QTest::mousePress(&editor, Qt::LeftButton, {}, QPoint(200, 50));
    QTest::mouseMove(&editor, QPoint(150, 50));
    QTest::mouseRelease(&editor, Qt::LeftButton, {}, QPoint(100, 50));
    EXPECT_EQ(ev.log.last(), "selection 44100 88200 1000 2000");
    EXPECT_EQ(editor.SelectionStart(), 44100);

    editor.ZoomSelection();
    EXPECT_EQ(editor.ViewStart(), 44100);
    EXPECT_EQ(editor.ViewEnd(), 88200);
    // In the zoomed view a click in the middle lands at 1.5 s.
    QTest::mouseClick(&editor, Qt::LeftButton, {}, QPoint(200, 50));
    EXPECT_EQ(ev.log.last(), "selection 66150 66150 1500 1500");
    // A zoomed view scrolls sideways, inside the file.
    QWheelEvent wheel(QPointF(200, 50), editor.mapToGlobal(QPointF(200, 50)), {}, QPoint(0, -120 * 30), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&editor, &wheel);
    EXPECT_EQ(editor.ViewEnd(), 176400);
    EXPECT_EQ(editor.ViewEnd() - editor.ViewStart(), 44100);
    editor.ZoomRestore();
    EXPECT_EQ(editor.ViewStart(), 0);
    EXPECT_EQ(editor.ViewEnd(), 176400);
}

TEST_F(AudioEditorTest, PlaysTheSelectionWithAMovingCursorOrSaysWhyNot)
{
    const WavLayout s;
    const QString src = writeFile(dir + "play.wav", wavBytes(s, sampleData(s, 44100 * 3)));
    cAudioEditor editor;
    Events ev(&editor);
    editor.LoadWaveFile(src);
    ASSERT_TRUE(ev.waitFor("info 44100 16 2 3 132300"));
    editor.SelectFrames(44100, 44100 + 22050);

    const long rc = editor.StartPlayback();
    if (!haveSoundOutput()) {
        EXPECT_EQ(rc, ErrPlayDevice);
        EXPECT_TRUE(ev.waitFor(QStringLiteral("error %1").arg(ErrPlayDevice)));
        return;
    }
    ASSERT_EQ(rc, 0) << ev.lastError.toStdString();
    EXPECT_TRUE(editor.IsPlaying());
    QList<qint64> cursor;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            if (editor.PlayCursor() >= 0)
                cursor << editor.PlayCursor();
            return ev.log.contains("play ended");
        },
        10000));
    ASSERT_FALSE(cursor.isEmpty());
    EXPECT_GE(cursor.first(), 44100);
    EXPECT_LE(cursor.last(), 44100 + 22050);
    EXPECT_GT(cursor.last(), cursor.first());
    EXPECT_EQ(editor.PlayCursor(), -1);
    EXPECT_EQ(ev.log.count("play ended"), 1);

    // Paused, then stopped by AbortJob: the end and the abort are told.
    ASSERT_EQ(editor.StartPlayback(), 0);
    editor.PausePlayback();
    EXPECT_TRUE(editor.IsPlaybackPaused());
    editor.ResumePlayback();
    EXPECT_FALSE(editor.IsPlaybackPaused());
    ev.log.clear();
    editor.AbortJob();
    EXPECT_TRUE(ev.waitFor("aborted"));
    EXPECT_EQ(ev.log, QStringList({"play ended", "aborted"}));
}

TEST_F(AudioEditorTest, EachEndOfAMillisecondRangeMapsToFramesByRoundingOnce)
{
    // Halves of a frame round up, in the start and in the length alike.
    struct Case {
        int rate;
        long startMs, lengthMs;
        qint64 first, count;
    };
    const Case cases[] = {
        {44100, 0, 35, 0, 1544},    // 1543.5 frames
        {44100, 5, 35, 221, 1544},  // 220.5 and 1543.5
        {44100, 10, 1, 441, 44},    // 44.1
        {22050, 3, 7, 66, 154},     // 66.15 and 154.35
        {11025, 2, 3, 22, 33},      // 22.05 and 33.075
        {8000, 7, 13, 56, 104},     // whole frames
        {48000, 1001, 999, 48048, 47952},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 Hz, %2 ms + %3 ms").arg(c.rate).arg(c.startMs).arg(c.lengthMs).toStdString());
        WavLayout s;
        s.rate = c.rate;
        const QByteArray data = sampleData(s, c.rate * 3);
        const QString src = writeFile(dir + "src.wav", wavBytes(s, data));
        QFile::remove(dir + "cut.wav");
        cAudioEditor editor;
        Events ev(&editor);
        editor.SetInputFile(src);
        editor.setOutputFile(dir + "cut.wav");
        editor.setRangeStart(c.startMs);
        editor.setRangeLength(c.lengthMs);
        editor.SaveRange();
        ASSERT_EQ(ev.waitForEnd(), "done") << ev.lastError.toStdString();
        WavFormat cut;
        ASSERT_EQ(ReadWavHeader(dir + "cut.wav", &cut, nullptr), 0);
        EXPECT_EQ(cut.frames, c.count);
        EXPECT_EQ(readFile(dir + "cut.wav").mid(cut.dataOffset, cut.dataBytes), data.mid(c.first * 4, c.count * 4));
    }
}

TEST_F(AudioEditorTest, FramesThatComeWithTheRangeAreSavedExactly)
{
    const WavLayout s;
    const QByteArray data = sampleData(s, 44100 * 6);
    const QString src = writeFile(dir + "src.wav", wavBytes(s, data));
    struct Case {
        const char* name;
        long startMs, lengthMs;
        qint64 firstFrame, endFrame; // given with the range
        qint64 first, end;           // saved
    };
    const Case cases[] = {
        // A selection's frames and its rounded times: the frames are kept.
        {"frames of a selection", 1989, 5497 - 1989, 87726, 242431, 87726, 242431},
        {"whole file, end in whole milliseconds up", 0, 6000, 0, 44100 * 6, 0, 44100 * 6},
        {"a frame thin", 1000, 0, 44100, 44101, 44100, 44101},
        // Frames that do not belong to the times are stale: the times count.
        {"frames of another selection", 1000, 1000, 500, 700, 44100, 88200},
        {"frames unset", 1000, 1000, -1, -1, 44100, 88200},
        {"frames reversed", 1000, 1000, 88200, 44100, 44100, 88200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(dir + "cut.wav");
        cAudioEditor editor;
        Events ev(&editor);
        editor.SetInputFile(src);
        editor.setOutputFile(dir + "cut.wav");
        editor.setRangeStart(c.startMs);
        editor.setRangeLength(c.lengthMs);
        editor.setRangeFrames(c.firstFrame, c.endFrame);
        editor.SaveRange();
        ASSERT_EQ(ev.waitForEnd(), "done") << ev.lastError.toStdString();
        WavFormat cut;
        ASSERT_EQ(ReadWavHeader(dir + "cut.wav", &cut, nullptr), 0);
        EXPECT_EQ(cut.frames, c.end - c.first);
        EXPECT_EQ(readFile(dir + "cut.wav").mid(cut.dataOffset, cut.dataBytes),
                  data.mid(c.first * 4, (c.end - c.first) * 4));
    }
}

TEST_F(AudioEditorTest, APipeOrAFileOfEndlessChunksIsRefusedWithoutHoldingTheCaller)
{
    const WavLayout s;
    const QString good = writeFile(dir + "good.wav", wavBytes(s, sampleData(s, 44100)));
    testenv::NamedPipe fifo(dir + "pipe.wav");
    ASSERT_TRUE(fifo.ok());
    const QByteArray small = wavBytes(s, sampleData(s, 100));
    const QString chunky = writeFile(dir + "chunky.wav", editorfixtures::withManyChunks(small, 4'000'000));
    ASSERT_FALSE(chunky.isEmpty());
    // Many chunks, but fewer than the bound, are still a WAV.
    const QString someChunks = writeFile(dir + "some.wav", editorfixtures::withManyChunks(small, kMaxWavChunks - 3));

    struct Case {
        const char* name;
        QString path;
        long code;
        const char* says;
    };
    const Case cases[] = {
        {"named pipe", fifo.path(), ErrSourceUnreadable, "not a regular file"},
        {"millions of chunks", chunky, ErrWavTooManyChunks, "more than 1024 chunks"},
        {"folder", dir, ErrSourceUnreadable, "not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WavFormat f;
        QString text;
        EXPECT_EQ(ReadWavHeader(c.path, &f, &text), c.code) << text.toStdString();
        EXPECT_TRUE(text.contains(c.says)) << text.toStdString();

        // Opening and saving return at once; the refusal comes as an event.
        for (const bool saving : {false, true}) {
            SCOPED_TRACE(saving ? "SaveRange" : "LoadWaveFile");
            cAudioEditor editor;
            Events ev(&editor);
            if (saving) {
                editor.SetInputFile(c.path);
                editor.setOutputFile(dir + "out.wav");
                editor.setRangeStart(0);
                editor.setRangeLength(100);
                editor.SaveRange();
            } else {
                editor.LoadWaveFile(c.path);
            }
            ASSERT_TRUE(ev.waitFor(QStringLiteral("error %1").arg(c.code))) << ev.log.join(" | ").toStdString();
            EXPECT_TRUE(ev.lastError.contains(c.path));
            EXPECT_FALSE(QFile::exists(dir + "out.wav"));
        }
    }
    // Nothing, caller or worker, ever waited on the pipe for a writer.
    EXPECT_FALSE(fifo.heldAReader());
    WavFormat f;
    EXPECT_EQ(ReadWavHeader(someChunks, &f, nullptr), 0);
    EXPECT_EQ(f.frames, 100);
    EXPECT_EQ(ReadWavHeader(good, &f, nullptr), 0);
}

} // namespace
