// The speech component on the real engine: voices, word events as heard,
// files in every speech format, stops and failures.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <cmath>
#include <gtest/gtest.h>

#include "components/audio/cWaveTTS.h"
#include "tests/components/audio/PlayerFixtures.h"
#include "tests/components/audio/PrivateSink.h"
#include "tests/support/TestEnv.h"

namespace {

QString manyWords(int words)
{
    static const char* const list[] = {"alpha", "river", "stone", "quiet", "morning", "seven", "window", "garden"};
    QString out;
    for (int i = 0; i < words; ++i) {
        out += QString::fromLatin1(list[i % 8]);
        out += (i % 12 == 11) ? QStringLiteral(". ") : QStringLiteral(" ");
    }
    return out;
}

double peakOf(const recfx::WavFile& w)
{
    double peak = 0;
    const qint64 n = w.data.size() / qMax<int>(1, w.bits / 8);
    for (qint64 i = 0; i < n; ++i) {
        const double v = w.bits == 8 ? (uchar(w.data[int(i)]) - 128) / 128.0
                                     : reinterpret_cast<const qint16*>(w.data.constData())[i] / 32768.0;
        peak = std::max(peak, std::abs(v));
    }
    return peak;
}

class SpeechTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = testenv::tempRoot() + "/speech/";
        QDir().mkpath(m_dir);
        tts = std::make_unique<cWaveTTS>();
    }
    void TearDown() override { tts->ReleaseComponent(); }
    std::unique_ptr<cWaveTTS> tts;
    QString m_dir;
};

TEST_F(SpeechTest, OffersTheEnginesVoicesAndTheSpeechFormats)
{
    const long n = tts->VoiceCount();
    ASSERT_GT(n, 10);
    QStringList names;
    for (long i = 1; i <= n; ++i)
        names << tts->VoiceName(i);
    EXPECT_TRUE(names.first().startsWith("English")) << names.first().toStdString();
    EXPECT_EQ(names.removeDuplicates(), 0);
    long beyond = n + 1;
    EXPECT_TRUE(tts->VoiceName(beyond).isEmpty());

    QStringList formats;
    QList<long> codes;
    QObject::connect(tts.get(), &cWaveTTS::SpeechFormatFound, [&](QString& name, long& code) {
        formats << name;
        codes << code;
    });
    tts->InitSpeech();
    EXPECT_TRUE(formats.contains("SAFT22kHz16BitMono"));
    EXPECT_EQ(formats.size(), codes.size());
    EXPECT_EQ(QSet<long>(codes.begin(), codes.end()).size(), codes.size());
}

TEST_F(SpeechTest, RateAndVolumeMapOntoTheEnginesScales)
{
    EXPECT_EQ(cWaveTTS::EngineRate(-10), 80);
    EXPECT_EQ(cWaveTTS::EngineRate(0), 175);
    EXPECT_EQ(cWaveTTS::EngineRate(10), 450);
    EXPECT_EQ(cWaveTTS::EngineRate(-99), 80);
    EXPECT_EQ(cWaveTTS::EngineRate(99), 450);
    for (long r = -10; r < 10; ++r)
        EXPECT_LT(cWaveTTS::EngineRate(r), cWaveTTS::EngineRate(r + 1)) << r;
    EXPECT_EQ(cWaveTTS::EngineVolume(-5), 0);
    EXPECT_EQ(cWaveTTS::EngineVolume(50), 50);
    EXPECT_EQ(cWaveTTS::EngineVolume(500), 100);
}

TEST_F(SpeechTest, WritesEverySpeechFormatAndTheRateChangesTheLength)
{
    struct Row {
        long code;
        int rate, bits, channels;
    } rows[] = {{8, 22050, 16, 1}, {1, 8000, 8, 1}, {11, 44100, 16, 2}};
    const QString text = "The quick brown fox jumps over the lazy dog.";
    for (const Row& r : rows) {
        SCOPED_TRACE(r.code);
        const QString path = m_dir + QString("f%1.wav").arg(r.code);
        tts->setSpeechFormat(r.code);
        ASSERT_EQ(tts->SpeakToFile(text, path), 0);
        const recfx::WavFile w = recfx::readWav(path);
        ASSERT_TRUE(w.valid);
        EXPECT_EQ(int(w.rate), r.rate);
        EXPECT_EQ(w.bits, r.bits);
        EXPECT_EQ(w.channels, r.channels);
        EXPECT_EQ(qint64(w.dataSize), w.fileSize - 44);
        EXPECT_GT(w.seconds(), 1.0);
        EXPECT_GT(peakOf(w), 0.1);
        EXPECT_FALSE(QFileInfo::exists(path + ".part"));
    }
    tts->setSpeechFormat(8);
    tts->setSpeechRate(-10);
    ASSERT_EQ(tts->SpeakToFile(text, m_dir + "slow.wav"), 0);
    tts->setSpeechRate(10);
    ASSERT_EQ(tts->SpeakToFile(text, m_dir + "fast.wav"), 0);
    EXPECT_GT(recfx::readWav(m_dir + "slow.wav").seconds(), 2 * recfx::readWav(m_dir + "fast.wav").seconds());
}

TEST_F(SpeechTest, AFileThatCannotBeWrittenIsReportedAndNothingStaleRemains)
{
    const QString old = m_dir + "old.wav";
    {
        QFile f(old);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("stale speech");
    }
    struct Row {
        const char* name;
        QString text, path;
        long code;
    } rows[] = {
        {"empty text", "   ", m_dir + "e.wav", cWaveTTS::TtsEmptyText},
        {"missing folder", "hello", m_dir + "none/x.wav", cWaveTTS::TtsWriteFailed},
        {"no room", "hello", "/proc/kelvane-tts.wav", cWaveTTS::TtsWriteFailed},
        {"no path", "hello", "", cWaveTTS::TtsWriteFailed},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const long code = tts->SpeakToFile(r.text, r.path);
        EXPECT_EQ(code, r.code);
        EXPECT_FALSE(tts->GetErrorText(code).isEmpty());
        if (!r.path.isEmpty())
            EXPECT_FALSE(QFileInfo::exists(r.path));
    }
    // The old file goes before the new one is spoken.
    ASSERT_EQ(tts->SpeakToFile("hello there", old), 0);
    EXPECT_TRUE(recfx::readWav(old).valid);
}

class SpeechAloudTest : public SpeechTest {
protected:
    void SetUp() override
    {
        SpeechTest::SetUp();
        if (!playerfx::haveOutput())
            GTEST_SKIP() << "no audio output";
    }
};

TEST_F(SpeechAloudTest, WordsComeAsTheyAreHeardThenOneEnd)
{
    QList<QPair<long, long>> words;
    QElapsedTimer clock;
    QList<qint64> times;
    QObject::connect(tts.get(), &cWaveTTS::WordPosition, [&](long s, long l) {
        words << qMakePair(s, l);
        times << clock.elapsed();
    });
    QSignalSpy done(tts.get(), &cWaveTTS::SpeakDone);
    clock.start();
    tts->Speak("one two three");
    EXPECT_TRUE(tts->IsSpeaking());
    EXPECT_TRUE(words.isEmpty()); // never inside the call
    ASSERT_TRUE(playerfx::waitFor([&] { return done.count() == 1; }, 10000));
    EXPECT_FALSE(tts->IsSpeaking());
    ASSERT_EQ(words, (QList<QPair<long, long>>{{0, 3}, {4, 3}, {8, 5}}));
    // Heard one after another, not all at once.
    EXPECT_GT(times.last() - times.first(), 300);
    playerfx::pump(100);
    EXPECT_EQ(done.count(), 1);
}

TEST_F(SpeechAloudTest, AHugeTextStartsAtOnceAndStopsWithinAFifthOfASecond)
{
    const QString text = manyWords(400000); // several megabytes
    ASSERT_GT(text.size(), 2'000'000);
    QSignalSpy words(tts.get(), &cWaveTTS::WordPosition);
    QSignalSpy done(tts.get(), &cWaveTTS::SpeakDone);
    QElapsedTimer t;
    t.start();
    tts->Speak(text);
    EXPECT_LT(t.elapsed(), 200);
    ASSERT_TRUE(playerfx::waitFor([&] { return words.count() >= 2; }, 10000));
    t.restart();
    tts->StopSpeaking();
    ASSERT_TRUE(playerfx::waitFor([&] { return done.count() == 1; }, 2000));
    EXPECT_LE(t.elapsed(), 200);
    EXPECT_FALSE(tts->IsSpeaking());
    const int heard = words.count();
    playerfx::pump(300);
    EXPECT_EQ(words.count(), heard);
    EXPECT_EQ(done.count(), 1);
}

} // namespace
