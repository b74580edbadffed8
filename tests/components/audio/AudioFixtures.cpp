#include "tests/components/audio/AudioFixtures.h"

#include <QDataStream>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QJsonArray>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
}

namespace fixtures {

namespace {

// A plain PCM WAV of the given samples.
QString writePcmWav(const QString& path, int rate, int channels, int bits, const QByteArray& pcm)
{
    const int bytesPerSample = bits / 8;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    QDataStream out(&f);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + pcm.size());
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(channels) << quint32(rate)
        << quint32(rate * channels * bytesPerSample) << quint16(channels * bytesPerSample) << quint16(bits);
    out.writeRawData("data", 4);
    out << quint32(pcm.size());
    out.writeRawData(pcm.constData(), pcm.size());
    return path;
}

} // namespace

QString writeToneWav(const QString& path, double seconds, int rate, int channels, int bits)
{
    const qint64 frames = qint64(seconds * rate);
    QByteArray buf;
    buf.reserve(int(frames * channels * (bits / 8)));
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
    return writePcmWav(path, rate, channels, bits, buf);
}

QString writeWavWithHole(const QString& path, double seconds, qint64 holeBytes, WavHole where)
{
    if (writeToneWav(path, seconds, 8000, 1).isEmpty())
        return QString();
    const QByteArray tone = readAll(path);
    const QByteArray fmt = tone.mid(12, 24), data = tone.mid(36);
    auto le32 = [](quint32 v) {
        QByteArray b(4, '\0');
        for (int i = 0; i < 4; ++i)
            b[i] = char((v >> (8 * i)) & 0xFF);
        return b;
    };
    QByteArray before = fmt;
    if (where == WavHole::InListChunk)
        before += "LIST" + le32(quint32(holeBytes + 4)) + "INFO";
    else if (where == WavHole::InJunkChunk)
        before += "junk" + le32(quint32(holeBytes));
    const qint64 hole = holeBytes + (where == WavHole::InJunkChunk ? holeBytes & 1 : 0);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    const qint64 total = 12 + before.size() + hole + data.size();
    f.write("RIFF" + le32(quint32(total - 8)) + "WAVE");
    if (where == WavHole::AfterData) {
        f.write(before + data);
        f.resize(total);
    } else {
        f.write(before);
        const qint64 at = f.pos() + hole;
        f.resize(at);
        f.seek(at);
        f.write(data);
    }
    return f.error() == QFileDevice::NoError ? path : QString();
}

QString writeSineWav(const QString& path, double seconds, int rate, int channels, double peak, double hz)
{
    const qint64 frames = qint64(seconds * rate);
    QByteArray pcm;
    pcm.reserve(int(frames * channels * 2));
    for (qint64 i = 0; i < frames; ++i) {
        const qint16 s = qint16(std::lround(peak * 32767 * std::sin(2 * M_PI * hz * double(i) / rate)));
        for (int c = 0; c < channels; ++c) {
            pcm.append(char(s & 0xFF));
            pcm.append(char((s >> 8) & 0xFF));
        }
    }
    return writePcmWav(path, rate, channels, 16, pcm);
}

QList<RiffChunk> riffChunks(const QString& path)
{
    const QByteArray file = readAll(path);
    QList<RiffChunk> out;
    if (file.size() < 12 || (!file.startsWith("RIFF") && !file.startsWith("RF64")) || file.mid(8, 4) != "WAVE")
        return out;
    qint64 pos = 12;
    while (pos + 8 <= file.size()) {
        const auto* b = reinterpret_cast<const uchar*>(file.constData() + pos);
        qint64 size = qint64(b[4]) | qint64(b[5]) << 8 | qint64(b[6]) << 16 | qint64(b[7]) << 24;
        size = qMin(size, file.size() - pos - 8);
        out.push_back({file.mid(pos, 4), file.mid(pos + 8, size)});
        pos += 8 + size + (size & 1);
    }
    return out;
}

QByteArray riffChunk(const QString& path, const QByteArray& id)
{
    for (const RiffChunk& c : riffChunks(path))
        if (c.id == id)
            return c.data;
    return QByteArray();
}

QMap<QString, QString> riffInfo(const QString& path)
{
    QMap<QString, QString> out;
    for (const RiffChunk& c : riffChunks(path)) {
        if (c.id != "LIST" || !c.data.startsWith("INFO"))
            continue;
        qint64 pos = 4;
        while (pos + 8 <= c.data.size()) {
            const auto* b = reinterpret_cast<const uchar*>(c.data.constData() + pos);
            const qint64 size = qint64(b[4]) | qint64(b[5]) << 8 | qint64(b[6]) << 16 | qint64(b[7]) << 24;
            QByteArray text = c.data.mid(pos + 8, size);
            while (text.endsWith('\0'))
                text.chop(1);
            out.insert(QString::fromLatin1(c.data.mid(pos, 4)), QString::fromUtf8(text));
            pos += 8 + size + (size & 1);
        }
    }
    return out;
}

Pcm16 readPcm16(const QString& path)
{
    Pcm16 r;
    const QByteArray fmt = riffChunk(path, "fmt ");
    if (fmt.size() < 16)
        return r;
    const auto* f = reinterpret_cast<const uchar*>(fmt.constData());
    const int tag = f[0] | f[1] << 8;
    const int bits = f[14] | f[15] << 8;
    if (tag != 1 || bits != 16)
        return r;
    const QByteArray data = riffChunk(path, "data");
    r.channels = f[2] | f[3] << 8;
    r.rate = int(f[4] | f[5] << 8 | f[6] << 16 | quint32(f[7]) << 24);
    r.samples.resize(data.size() / 2);
    std::memcpy(r.samples.data(), data.constData(), size_t(r.samples.size()) * 2);
    return r;
}

qint64 ffmpegDecodedFrames(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), {"-hide_banner", "-loglevel", "error", "-i", path, "-ac", "1", "-f", "s16le",
                                       "-acodec", "pcm_s16le", "-"});
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return -1;
    return p.readAllStandardOutput().size() / 2;
}

QMap<QString, QString> ffprobeTags(const QString& path)
{
    QMap<QString, QString> out;
    QProcess p;
    p.start(QStringLiteral("ffprobe"), {"-hide_banner", "-loglevel", "error", "-of", "json", "-show_entries",
                                        "format_tags:stream_tags", path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return out;
    const QJsonObject root = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    auto take = [&](const QJsonObject& tags) {
        for (auto it = tags.begin(); it != tags.end(); ++it)
            if (!out.contains(it.key().toLower()))
                out.insert(it.key().toLower(), it.value().toString());
    };
    take(root.value("format").toObject().value("tags").toObject());
    for (const auto& st : root.value("streams").toArray())
        take(st.toObject().value("tags").toObject());
    return out;
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
