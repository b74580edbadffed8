// The recorder/player component against the sound server: each test that
// records plays a tone into a sink of its own and records that sink's source.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

#include "components/audio/SampleConverter.h"
#include "components/audio/cWave.h"
#include "tests/components/audio/PlayerFixtures.h"
#include "tests/components/audio/PrivateSink.h"
#include "tests/support/TestEnv.h"

using recfx::readWav;

namespace {

using recfx::pcmFormat;

class WaveTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_sink = new recfx::PrivateSink;
        s_tone = testenv::tempRoot() + "/tone1k.wav";
        playerfx::writeSine(s_tone, 30, 1000);
    }
    static void TearDownTestSuite()
    {
        delete s_sink;
        s_sink = nullptr;
    }
    void SetUp() override
    {
        if (!s_sink->ok())
            GTEST_SKIP() << "no sound server to load a sink into";
        m_device = s_sink->inputIndex();
        ASSERT_GE(m_device, 0) << "the test's own source is not listed";
        m_dir = testenv::tempRoot() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        QDir(m_dir).removeRecursively();
        QDir().mkpath(m_dir);
        wave = std::make_unique<cWave>();
        wave->setMeterEnabled(true);
    }
    void TearDown() override
    {
        if (wave)
            wave->ReleaseComponent();
        if (s_sink)
            s_sink->stopPlaying();
    }

    // Records `seconds` of the tone into path; false when the start failed.
    long recordTone(const QString& path, WAVEFORMATEX f, double seconds)
    {
        s_sink->startPlaying(s_tone);
        playerfx::pump(1000); // the player reaches the sink, even on a busy machine
        QSignalSpy done(wave.get(), &cWave::DoneRecord);
        long code = wave->StartRecording(m_device, path, f, 1600);
        if (code != 0)
            return code;
        playerfx::pump(int(seconds * 1000));
        wave->StopRecording();
        EXPECT_TRUE(playerfx::waitFor([&] { return done.count() == 1; }, 5000));
        s_sink->stopPlaying();
        return 0;
    }

    static recfx::PrivateSink* s_sink;
    static QString s_tone;
    long m_device = -1;
    QString m_dir;
    std::unique_ptr<cWave> wave;
};

recfx::PrivateSink* WaveTest::s_sink = nullptr;
QString WaveTest::s_tone;

TEST_F(WaveTest, RecordsTheToneInEveryFormatWithAMatchingHeader)
{
    struct Row {
        int bits, rate, channels;
    } rows[] = {{16, 44100, 2}, {8, 8000, 1}, {16, 22050, 1}, {8, 11025, 2}};
    for (const Row& r : rows) {
        SCOPED_TRACE(QString("%1 bit %2 Hz %3 ch").arg(r.bits).arg(r.rate).arg(r.channels).toStdString());
        const QString path = m_dir + QString("/take_%1_%2_%3.wav").arg(r.bits).arg(r.rate).arg(r.channels);
        QSignalSpy meter(wave.get(), &cWave::MeterLevel);
        ASSERT_EQ(recordTone(path, pcmFormat(r.bits, r.rate, r.channels), 3.0), 0);
        EXPECT_EQ(wave->RecordEndError(), 0);
        const recfx::WavFile w = readWav(path);
        ASSERT_TRUE(w.valid);
        EXPECT_EQ(w.formatTag, 1);
        EXPECT_EQ(w.channels, r.channels);
        EXPECT_EQ(int(w.rate), r.rate);
        EXPECT_EQ(w.bits, r.bits);
        EXPECT_EQ(w.blockAlign, r.bits / 8 * r.channels);
        EXPECT_EQ(int(w.byteRate), r.rate * w.blockAlign);
        EXPECT_EQ(qint64(w.dataSize), w.fileSize - 44);
        EXPECT_EQ(w.riffSize, w.dataSize + 36);
        EXPECT_EQ(w.dataSize % w.blockAlign, 0u);
        EXPECT_NEAR(w.seconds(), 3.0, 0.3);
        EXPECT_EQ(qint64(w.dataSize / w.blockAlign), wave->RecordedFrames());
        EXPECT_NEAR(recfx::dominantHz(w), 1000.0, 15.0);
        // A half-scale tone shows as about half the meter.
        ASSERT_GT(meter.count(), 5);
        int loudest = 0;
        for (const QList<QVariant>& m : meter)
            loudest = qMax(loudest, m.at(0).toInt());
        EXPECT_NEAR(loudest, 50, 10);
        EXPECT_FALSE(QFileInfo::exists(m_dir + QString("/take_%1_%2_%3.recording.wav").arg(r.bits).arg(r.rate).arg(r.channels)));
    }
}

// What the computer plays: the sink's monitor is listed after every input
// (a stored input position keeps naming the same input) and records the tone
// that paplay plays into the sink, at its level, for as long as was recorded.
TEST_F(WaveTest, RecordsWhatASinkPlaysThroughItsMonitor)
{
    const long n = wave->WaveDeviceCount(cWave::WaveInput);
    long monitor = -1, lastInput = -1, firstMonitor = n;
    for (long i = 0; i < n; ++i) {
        WaveDeviceCapsRecord rec;
        wave->WaveDeviceCaps(i, rec, cWave::WaveInput);
        EXPECT_EQ(rec.DeviceNumber, i);
        if (rec.DeviceId.endsWith(".monitor"))
            firstMonitor = qMin(firstMonitor, i);
        else
            lastInput = i;
        if (rec.DeviceId == s_sink->sinkName() + ".monitor") {
            monitor = i;
            EXPECT_TRUE(rec.DeviceName.startsWith("Monitor of")) << rec.DeviceName.toStdString();
            EXPECT_EQ(rec.Channels, 2);
        }
    }
    ASSERT_GE(monitor, 0) << "the sink's monitor is not listed";
    EXPECT_LT(lastInput, firstMonitor) << "an input is listed after a monitor";
    EXPECT_LT(m_device, firstMonitor);

    const QString path = m_dir + "/monitor.wav";
    s_sink->startPlaying(s_tone);
    playerfx::pump(1000);
    QSignalSpy done(wave.get(), &cWave::DoneRecord);
    WAVEFORMATEX f = pcmFormat(16, 44100, 2);
    QElapsedTimer recorded;
    ASSERT_EQ(wave->StartRecording(monitor, path, f, 1600), 0);
    recorded.start();
    playerfx::pump(2500);
    const qint64 ms = recorded.elapsed();
    wave->StopRecording();
    ASSERT_TRUE(playerfx::waitFor([&] { return done.count() == 1; }, 5000));
    s_sink->stopPlaying();
    EXPECT_EQ(wave->RecordEndError(), 0);
    const recfx::WavFile w = readWav(path);
    ASSERT_TRUE(w.valid);
    EXPECT_EQ(qint64(w.dataSize), w.fileSize - 44);
    EXPECT_NEAR(w.seconds() * 1000, double(ms), 50.0);
    EXPECT_NEAR(recfx::dominantHz(w), 1000.0, 15.0);
    // Played at half scale: the take peaks at half scale, on both channels.
    int peak[2] = {0, 0};
    const auto* p = reinterpret_cast<const qint16*>(w.data.constData());
    for (qint64 i = 0; i + 1 < w.data.size() / 2; i += 2)
        for (int c = 0; c < 2; ++c)
            peak[c] = qMax(peak[c], std::abs(int(p[i + c])));
    EXPECT_NEAR(peak[0], 16384, 1200);
    EXPECT_NEAR(peak[1], 16384, 1200);
}

TEST_F(WaveTest, RefusedStartsSayWhyAndLeaveNoFile)
{
    const QString dirAsFile = m_dir + "/folder.wav";
    QDir().mkpath(dirAsFile);
    WAVEFORMATEX wrongAlign = pcmFormat(16, 44100, 2);
    wrongAlign.nBlockAlign = 3;
    struct Row {
        const char* name;
        QString path;
        WAVEFORMATEX format;
        long device;
        long code;
    } rows[] = {
        {"empty path", "", pcmFormat(16, 44100, 2), m_device, cWave::WaveNoPath},
        {"missing folder", m_dir + "/no/such/take.wav", pcmFormat(16, 44100, 2), m_device, cWave::WaveFolderMissing},
        {"a folder", dirAsFile, pcmFormat(16, 44100, 2), m_device, cWave::WaveNotWritable},
        {"no room (a file system that holds nothing)", "/proc/kelvane-take.wav", pcmFormat(16, 44100, 2), m_device, cWave::WaveDiskFull},
        {"24 bits", m_dir + "/a.wav", pcmFormat(24, 44100, 2), m_device, cWave::WaveBadFormat},
        {"block align", m_dir + "/b.wav", wrongAlign, m_device, cWave::WaveBadFormat},
        {"no such device", m_dir + "/c.wav", pcmFormat(16, 44100, 2), 999, cWave::WaveDeviceNotFound},
    };
    for (Row& r : rows) {
        SCOPED_TRACE(r.name);
        QSignalSpy done(wave.get(), &cWave::DoneRecord);
        long code = wave->StartRecording(r.device, r.path, r.format, 1600);
        EXPECT_EQ(code, r.code);
        EXPECT_FALSE(wave->GetErrorText(code).isEmpty());
        EXPECT_FALSE(wave->IsRecording());
        playerfx::pump(50);
        EXPECT_EQ(done.count(), 0);
    }
    QStringList left = QDir(m_dir).entryList(QDir::Files | QDir::Hidden);
    EXPECT_TRUE(left.isEmpty()) << left.join(", ").toStdString();
    long code = cWave::WaveFolderMissing;
    EXPECT_TRUE(wave->GetErrorText(code).contains("does not exist"));
}

TEST_F(WaveTest, AnExistingFileStandsUntilTheNewTakeEndsAndTheTakeIsPlayableMidway)
{
    const QString path = m_dir + "/take.wav";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("the earlier take");
    }
    s_sink->startPlaying(s_tone);
    playerfx::pump(1000);
    QSignalSpy done(wave.get(), &cWave::DoneRecord);
    WAVEFORMATEX f = pcmFormat(16, 44100, 2);
    ASSERT_EQ(wave->StartRecording(m_device, path, f, 1600), 0);
    // Recording into the same file again is refused while this one runs.
    EXPECT_EQ(wave->StartRecording(m_device, path, f, 1600), cWave::WaveAlreadyRecording);
    // What a crash would leave once a good part is on disk: a WAV whose
    // header covers all but the last second of it.
    const QString partialPath = m_dir + "/take.recording.wav";
    ASSERT_TRUE(playerfx::waitFor([&] { return QFileInfo(partialPath).size() > 44 + 2 * 176400; }, 8000));
    const recfx::WavFile partial = readWav(partialPath);
    // Its size taken after the header was read: the recording goes on meanwhile.
    const qint64 sizeAfter = QFileInfo(partialPath).size();
    ASSERT_TRUE(partial.valid);
    EXPECT_GE(qint64(partial.dataSize), sizeAfter - 44 - qint64(1.2 * 176400));
    EXPECT_LE(qint64(partial.dataSize), sizeAfter - 44);
    EXPECT_EQ(partial.riffSize, partial.dataSize + 36);
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("the earlier take"));

    wave->StopRecording();
    ASSERT_TRUE(playerfx::waitFor([&] { return done.count() == 1; }, 5000));
    s_sink->stopPlaying();
    const recfx::WavFile w = readWav(path);
    ASSERT_TRUE(w.valid);
    EXPECT_GE(w.seconds(), 2.0);
    EXPECT_FALSE(QFileInfo::exists(m_dir + "/take.recording.wav"));
}

TEST_F(WaveTest, PausedAudioIsLeftOutAndReleasingCompletesTheFile)
{
    const QString path = m_dir + "/paused.wav";
    WAVEFORMATEX f = pcmFormat(16, 44100, 1);
    QSignalSpy done(wave.get(), &cWave::DoneRecord);
    ASSERT_EQ(wave->StartRecording(m_device, path, f, 1600), 0);
    playerfx::pump(1000);
    wave->PauseRecording();
    EXPECT_TRUE(wave->IsRecordingPaused());
    playerfx::pump(1000);
    wave->ResumeRecording();
    EXPECT_FALSE(wave->IsRecordingPaused());
    playerfx::pump(1000);
    // As a window that closes mid-recording does.
    wave->ReleaseComponent();
    EXPECT_FALSE(wave->IsRecording());
    const recfx::WavFile w = readWav(path);
    ASSERT_TRUE(w.valid);
    EXPECT_EQ(qint64(w.dataSize), w.fileSize - 44);
    EXPECT_NEAR(w.seconds(), 2.0, 0.3);
    playerfx::pump(50);
    EXPECT_EQ(done.count(), 0);
    long device = m_device;
    EXPECT_EQ(wave->StartRecording(device, m_dir + "/after.wav", f, 1600), cWave::WaveReleased);
}

// What the input hears while the take is paused stays out of it: the take
// is silent up to the pause, and after it holds the tone played once the
// take went on, never the one played during the pause (the meter shows the
// input heard it).
TEST_F(WaveTest, WhatPlaysDuringAPauseIsNotInTheTake)
{
    const QString low = testenv::tempRoot() + "/tone440.wav";
    playerfx::writeSine(low, 30, 440);
    const QString path = m_dir + "/paused.wav";
    QSignalSpy meter(wave.get(), &cWave::MeterLevel);
    QSignalSpy done(wave.get(), &cWave::DoneRecord);
    // Meter reports of the last n since the spy was cleared: all loud, or all quiet.
    auto lastAre = [&](int n, bool loud) {
        if (meter.count() < n)
            return false;
        for (int i = int(meter.count()) - n; i < meter.count(); ++i)
            if ((meter.at(i).at(0).toInt() >= 30) != loud || (!loud && meter.at(i).at(0).toInt() > 3))
                return false;
        return true;
    };
    WAVEFORMATEX f = pcmFormat(16, 44100, 1);
    ASSERT_EQ(wave->StartRecording(m_device, path, f, 1600), 0);
    ASSERT_TRUE(playerfx::waitFor([&] { return wave->RecordedFrames() >= 44100 / 4; }, 10000));
    wave->PauseRecording();
    const qint64 atPause = wave->RecordedFrames();

    meter.clear();
    s_sink->startPlaying(s_tone);
    ASSERT_TRUE(playerfx::waitFor([&] { return lastAre(5, true); }, 10000));
    s_sink->stopPlaying();
    meter.clear();
    ASSERT_TRUE(playerfx::waitFor([&] { return lastAre(5, false); }, 10000));
    EXPECT_LE(wave->RecordedFrames(), atPause + 44100 / 10);

    wave->ResumeRecording();
    meter.clear();
    s_sink->startPlaying(low);
    ASSERT_TRUE(playerfx::waitFor([&] { return lastAre(5, true); }, 10000));
    const qint64 heard = wave->RecordedFrames();
    ASSERT_TRUE(playerfx::waitFor([&] { return wave->RecordedFrames() >= heard + 44100 / 2; }, 10000));
    wave->StopRecording();
    ASSERT_TRUE(playerfx::waitFor([&] { return done.count() == 1; }, 5000));
    s_sink->stopPlaying();

    const recfx::WavFile w = readWav(path);
    ASSERT_TRUE(w.valid);
    const qint64 frames = w.data.size() / 2;
    ASSERT_GT(frames, atPause);
    const auto* p = reinterpret_cast<const qint16*>(w.data.constData());
    int peakBefore = 0;
    for (qint64 i = 0; i < atPause; ++i)
        peakBefore = qMax(peakBefore, std::abs(int(p[i])));
    EXPECT_LT(peakBefore, 1000);
    // After the pause, window by window (50 ms): wherever the take is loud it
    // sounds the low tone, never the one played during the pause.
    const qint64 window = 2205;
    int lowWindows = 0;
    QStringList highWindows;
    for (qint64 start = atPause; start + window <= frames; start += window) {
        int peak = 0, crossings = 0, side = 0;
        for (qint64 i = start; i < start + window; ++i) {
            const int v = p[i];
            peak = qMax(peak, std::abs(v));
            const int now = v > 1000 ? 1 : v < -1000 ? -1 : 0;
            if (now && side && now != side)
                ++crossings;
            if (now)
                side = now;
        }
        if (peak < 8000)
            continue;
        const double hz = crossings / 2.0 / (double(window) / 44100);
        if (hz > 700)
            highWindows << QString("%1 s: %2 Hz").arg(double(start) / 44100, 0, 'f', 2).arg(hz);
        else if (hz > 400 && hz < 480)
            ++lowWindows;
    }
    EXPECT_TRUE(highWindows.isEmpty()) << highWindows.join(", ").toStdString();
    EXPECT_GE(lowWindows, 5);
}

TEST_F(WaveTest, PlaysATakeToItsEndAndNeverRecordsOverIt)
{
    const QString path = m_dir + "/short.wav";
    playerfx::writeSine(path, 1.5, 440);
    WaveFileInfoRecord info;
    ASSERT_EQ(wave->WaveFileInfo(path, info), 0);
    EXPECT_EQ(info.SecondsLength, 2); // whole seconds to the nearest, halves to even
    EXPECT_EQ(info.nSamplesPerSec, 44100);

    QSignalSpy donePlay(wave.get(), &cWave::DonePlay);
    ASSERT_EQ(wave->PlayWaveFile(path, int(m_device), 8000), 0);
    EXPECT_TRUE(wave->IsPlaying());
    WAVEFORMATEX f = pcmFormat(16, 44100, 2);
    long code = wave->StartRecording(m_device, path, f, 1600);
    EXPECT_EQ(code, cWave::WaveFileInUse);
    EXPECT_TRUE(wave->GetErrorText(code).contains("being played"));
    long seen = 0;
    ASSERT_TRUE(playerfx::waitFor(
        [&] {
            seen = qMax(seen, wave->PlayPosition());
            return donePlay.count() == 1;
        },
        8000));
    EXPECT_GT(seen, 20);
    EXPECT_LE(seen, 100);
    EXPECT_FALSE(wave->IsPlaying());
    EXPECT_EQ(wave->StopPlayback(), 0);
}

TEST(SampleConverterTest, ConvertsRateChannelsAndSampleFormat)
{
    // One second of a 1 kHz tone, 48 kHz float stereo, as a device may give it.
    const int inRate = 48000;
    std::vector<float> in(size_t(inRate) * 2);
    for (int i = 0; i < inRate; ++i)
        in[size_t(i) * 2] = in[size_t(i) * 2 + 1] = float(0.5 * std::sin(2 * M_PI * 1000.0 * i / inRate));
    struct Row {
        int rate, channels;
        SampleConverter::Sample sample;
        int bits;
    } rows[] = {{8000, 1, SampleConverter::U8, 8}, {44100, 2, SampleConverter::S16, 16}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.rate);
        SampleConverter c;
        ASSERT_TRUE(c.open(inRate, 2, SampleConverter::Float, r.rate, r.channels, r.sample));
        QByteArray out;
        // In uneven pieces, as the device hands them over.
        const char* p = reinterpret_cast<const char*>(in.data());
        const qint64 total = qint64(in.size() * sizeof(float));
        for (qint64 at = 0; at < total;) {
            const qint64 n = qMin<qint64>(total - at, 8 * 1234);
            ASSERT_TRUE(c.convert(p + at, n, out));
            at += n;
        }
        ASSERT_TRUE(c.flush(out));
        recfx::WavFile w;
        w.valid = true;
        w.rate = quint32(r.rate);
        w.channels = quint16(r.channels);
        w.bits = quint16(r.bits);
        w.blockAlign = quint16(r.bits / 8 * r.channels);
        w.data = out;
        w.dataSize = quint32(out.size());
        EXPECT_NEAR(double(out.size() / w.blockAlign), double(r.rate), r.rate * 0.01);
        EXPECT_NEAR(recfx::dominantHz(w), 1000.0, 5.0);
    }
}

} // namespace
