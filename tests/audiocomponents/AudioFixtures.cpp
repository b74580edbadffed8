#include "tests/audiocomponents/AudioFixtures.h"

#include <QDataStream>
#include <QFile>
#include <QProcess>
#include <cmath>

extern "C" {
#include <libavformat/avformat.h>
}

namespace fixtures {

QString writeToneWav(const QString& path, double seconds, int rate, int channels, int bits)
{
    const qint64 frames = qint64(seconds * rate);
    const int bytesPerSample = bits / 8;
    const quint32 dataLen = quint32(frames * channels * bytesPerSample);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    QDataStream out(&f);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataLen);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(channels) << quint32(rate)
        << quint32(rate * channels * bytesPerSample) << quint16(channels * bytesPerSample) << quint16(bits);
    out.writeRawData("data", 4);
    out << dataLen;
    QByteArray buf;
    buf.reserve(int(dataLen));
    for (qint64 i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            const double v = 0.5 * std::sin(2 * M_PI * (440.0 + 110.0 * c) * double(i) / rate);
            if (bits == 8) {
                buf.append(char(quint8(128 + int(v * 127))));
            } else {
                const qint16 s = qint16(v * 32767);
                buf.append(char(s & 0xFF));
                buf.append(char((s >> 8) & 0xFF));
            }
        }
    }
    out.writeRawData(buf.constData(), buf.size());
    return path;
}

bool runFfmpeg(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), QStringList{"-hide_banner", "-loglevel", "error", "-y"} + args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString writeTruncated(const QString& from, const QString& to, qint64 bytes)
{
    return writeBytes(to, readAll(from).left(int(bytes)));
}

QString writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write(bytes);
    return path;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

Probe probe(const QString& path)
{
    Probe r;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, ("file:" + path).toUtf8().constData(), nullptr, nullptr) < 0)
        return r;
    if (avformat_find_stream_info(fmt, nullptr) >= 0) {
        const int idx = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (idx >= 0) {
            const AVStream* st = fmt->streams[idx];
            r.ok = true;
            r.container = QString::fromLatin1(fmt->iformat->name);
            r.codec = QString::fromLatin1(avcodec_get_name(st->codecpar->codec_id));
            r.sampleRate = st->codecpar->sample_rate;
            r.channels = st->codecpar->ch_layout.nb_channels;
            if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
                r.seconds = st->duration * av_q2d(st->time_base);
            else if (fmt->duration != AV_NOPTS_VALUE)
                r.seconds = double(fmt->duration) / AV_TIME_BASE;
            auto take = [&](AVDictionary* dict) {
                const AVDictionaryEntry* e = nullptr;
                while ((e = av_dict_get(dict, "", e, AV_DICT_IGNORE_SUFFIX)))
                    if (!r.tags.contains(QString::fromUtf8(e->key).toLower()))
                        r.tags.insert(QString::fromUtf8(e->key).toLower(), QString::fromUtf8(e->value));
            };
            take(fmt->metadata);
            take(st->metadata);
        }
    }
    avformat_close_input(&fmt);
    return r;
}

} // namespace fixtures
