#pragma once
// Generated 16-bit stereo WAV material and the median of timed runs, shared
// by the benchmarks.
#include <QDataStream>
#include <QFile>
#include <QString>
#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

namespace bench {

// Writes a 44.1 kHz 16-bit stereo WAV of `frames` frames; sample(i, c) gives
// each sample in -1..1.
inline void writeWav(const QString& path, qint64 frames, const std::function<double(qint64, int)>& sample)
{
    const int rate = 44100, ch = 2;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return;
    QDataStream out(&f);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 dataLen = quint32(frames * ch * 2);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataLen);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(ch) << quint32(rate) << quint32(rate * ch * 2) << quint16(ch * 2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << dataLen;
    std::vector<qint16> buf;
    buf.reserve(size_t(rate) * ch);
    for (qint64 i = 0; i < frames; ++i) {
        for (int c = 0; c < ch; ++c)
            buf.push_back(qint16(32767 * std::clamp(sample(i, c), -1.0, 1.0)));
        if (buf.size() >= size_t(rate) * ch) {
            out.writeRawData(reinterpret_cast<const char*>(buf.data()), int(buf.size() * 2));
            buf.clear();
        }
    }
    out.writeRawData(reinterpret_cast<const char*>(buf.data()), int(buf.size() * 2));
}

// Music-like material: a few tones that move, plus some noise; other seeds
// give other keys and noise.
inline void writeMusicWav(const QString& path, int seconds, unsigned seed = 1)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    const double shift = (seed - 1) % 7;
    double base = 0;
    writeWav(path, qint64(seconds) * 44100, [&](qint64 i, int c) {
        if (c == 0) {
            const double t = double(i) / 44100;
            const double f0 = 220.0 * std::pow(2.0, (std::floor(std::fmod(t * 2, 12.0)) + shift) / 12.0);
            base = 0.3 * std::sin(2 * M_PI * f0 * t) + 0.15 * std::sin(2 * M_PI * f0 * 1.5 * t) +
                   0.1 * std::sin(2 * M_PI * f0 * 2.01 * t);
        }
        return base + 0.05 * noise(rng) + (c ? 0.02 : 0.0);
    });
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace bench
