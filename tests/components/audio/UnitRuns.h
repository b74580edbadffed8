#pragma once
// One unit of a converting component run to its end event, for the tests
// that read back what the unit wrote.
#include <QEventLoop>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>

#include "components/audio/AudioEncoder.h"
#include "components/audio/AudioFormatRecords.h"
#include "components/audio/cAudioConverter.h"

namespace units {

// The end of one unit: its error code (0 when done) and text.
struct End {
    int code = -1; // -1: aborted, or no end event came
    bool aborted = false;
    std::string text;
    // Empty when the unit was done; otherwise what ended it.
    std::string failure() const
    {
        if (code == 0)
            return {};
        if (code < 0)
            return aborted ? "aborted" : "no end event";
        return text + " (" + std::to_string(code) + ")";
    }
};

template <class Component>
End run(Component& c, const std::function<void()>& start)
{
    QEventLoop loop;
    End end;
    QObject::connect(&c, &Component::JobDone, &loop, [&] {
        end.code = 0;
        loop.quit();
    });
    QObject::connect(&c, &Component::JobError, &loop, [&](int code, const QString& text) {
        end.code = code;
        end.text = text.toStdString();
        loop.quit();
    });
    QObject::connect(&c, &Component::JobAborted, &loop, [&] {
        end.aborted = true;
        loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit); // a hung unit fails the test rather than hanging it
    start();
    loop.exec();
    return end;
}

// Converts in (its range when start >= 0) into out; empty when done.
inline std::string convert(cAudioConverter& c, const QString& in, const QString& out, int start = -1, int length = -1)
{
    c.setInputFile(in);
    if (start >= 0) {
        c.setRangeStart(start);
        c.setRangeLength(length);
    }
    c.setOutputFile(out);
    return run(c, [&] { c.StartConvert(); }).failure();
}

// MP3 at 128 kbit/s constant, 44.1 kHz joint stereo: the encoder's default.
inline MP3Settings cbr128() { return kvaudio::EncoderSettings::defaultMp3(); }

} // namespace units
