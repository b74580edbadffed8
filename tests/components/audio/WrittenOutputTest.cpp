// What a unit wrote is read back before it counts as done: an output that
// got no audio or does not decode ends the unit with an error, and nothing
// of it is left. A source without frames is refused before anything is written.
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <string>

#include "components/audio/AudioEncoder.h"
#include "components/audio/AudioJobErrors.h"
#include "components/audio/cAudioConverter.h"
#include "components/audio/cAudioJoin.h"
#include "tests/components/audio/AudioFixtures.h"
#include "tests/components/audio/UnitRuns.h"
#include "tests/components/audio/WavShapes.h"

namespace {

using units::End;

// Ways a writer can leave a file behind that is not what it was asked for.
void keepOnlyTheHeader(const QString& path) { QFile::resize(path, 44); }
void emptyIt(const QString& path) { QFile::resize(path, 0); }
void scrambleIt(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        return;
    const qint64 size = f.size();
    QByteArray noise(int(size), '\0');
    for (qint64 i = 0; i < size; ++i)
        noise[int(i)] = char((i * 7919 + 13) & 0xFF);
    f.write(noise);
}

class WrittenOutputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        tone = fixtures::writeToneWav(path("tone.wav"), 3.0);
    }
    void TearDown() override { kvaudio::setWrittenOutputHook({}); }
    QString path(const QString& name) const { return dir.path() + "/" + name; }
    QStringList files() const
    {
        QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        names.sort();
        return names;
    }
    QTemporaryDir dir;
    QString tone;
};

TEST_F(WrittenOutputTest, AnOutputThatDoesNotDecodeIsAnErrorAndLeavesNothing)
{
    struct Case {
        const char* name;
        int format;
        void (*damage)(const QString&);
    };
    const Case cases[] = {
        {"WAV cut after its header", 1, keepOnlyTheHeader},
        {"WAV emptied", 1, emptyIt},
        {"ACM WAV scrambled", 2, scrambleIt},
        {"MP3 scrambled", 3, scrambleIt},
        {"MP3 emptied", 3, emptyIt},
        {"OGG scrambled", 5, scrambleIt},
        {"WMA emptied", 4, emptyIt},
    };
    fixtures::writeBytes(path("out.bin"), "earlier output");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kvaudio::setWrittenOutputHook(c.damage);
        for (bool joined : {false, true}) {
            SCOPED_TRACE(joined ? "joiner" : "converter");
            End end;
            if (joined) {
                cAudioJoin join;
                join.setOutputFormat(c.format);
                join.SetACMFormat("GSM 6.10", "8000 Hz, 0 bit, Mono");
                join.AddJoinFile(tone, -1, -1);
                join.AddJoinFile(tone, 1, 1);
                join.setOutputFile(path("out.bin"));
                end = units::run(join, [&] { join.StartJoin(); });
            } else {
                cAudioConverter conv;
                conv.setOutputFormat(c.format);
                conv.SetACMFormat("GSM 6.10", "8000 Hz, 0 bit, Mono");
                conv.setInputFile(tone);
                conv.setOutputFile(path("out.bin"));
                end = units::run(conv, [&] { conv.StartConvert(); });
            }
            EXPECT_EQ(end.code, kvaudio::ErrWrite) << end.text;
            EXPECT_NE(end.text.find("out.bin"), std::string::npos) << end.text;
            EXPECT_EQ(fixtures::readAll(path("out.bin")), QByteArray("earlier output"));
            EXPECT_EQ(files(), QStringList({"out.bin", "tone.wav"}));
        }
    }
    // Undamaged, the same units are done.
    kvaudio::setWrittenOutputHook({});
    cAudioConverter conv;
    conv.setOutputFormat(3);
    conv.setInputFile(tone);
    conv.setOutputFile(path("out.bin"));
    EXPECT_EQ(units::run(conv, [&] { conv.StartConvert(); }).code, 0);
    EXPECT_TRUE(shapes::decodeFile(path("out.bin")).ok);
}

// A WAV whose data chunk holds no frame is refused as holding no audio: there
// is nothing to write, and an empty output would be no result.
TEST_F(WrittenOutputTest, ASourceWithoutFramesIsRefusedAndNothingIsWritten)
{
    shapes::WavShape shape;
    shape.frames = 0;
    for (int format : {1, 3}) {
        SCOPED_TRACE(format);
        for (bool extensible : {false, true}) {
            shape.extensible = extensible;
            const QString empty = shapes::writeWav(path("empty.wav"), shape);
            ASSERT_FALSE(empty.isEmpty());
            cAudioConverter conv;
            conv.setOutputFormat(format);
            conv.setInputFile(empty);
            conv.setOutputFile(path("out.bin"));
            const End end = units::run(conv, [&] { conv.StartConvert(); });
            EXPECT_EQ(end.code, kvaudio::ErrSourceEmpty) << end.text;
            EXPECT_NE(end.text.find("holds no audio"), std::string::npos) << end.text;
            EXPECT_EQ(files(), QStringList({"empty.wav", "tone.wav"}));
        }
    }
}

} // namespace
