#include "tests/components/audio/WavShapes.h"

#include <QFile>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace shapes {

const char* sampleName(Sample s)
{
    switch (s) {
    case Sample::U8: return "u8";
    case Sample::S16: return "s16";
    case Sample::S24: return "s24";
    case Sample::S20in24: return "20 bits in 24";
    case Sample::S32: return "s32";
    case Sample::F32: return "float";
    case Sample::F64: return "double";
    case Sample::MuLaw: return "mu-law";
    }
    return "?";
}

namespace {

void put16(QByteArray& b, quint32 v)
{
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}
void put32(QByteArray& b, quint32 v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// G.711 mu-law of a 16-bit sample.
quint8 muLaw(int pcm)
{
    const int sign = pcm < 0 ? 0x80 : 0;
    int s = qMin(std::abs(pcm), 32635) + 0x84;
    int exponent = 7;
    for (int mask = 0x4000; (s & mask) == 0 && exponent > 0; mask >>= 1)
        --exponent;
    const int mantissa = (s >> (exponent + 3)) & 0x0F;
    return quint8(~(sign | (exponent << 4) | mantissa));
}

void appendSample(QByteArray& b, Sample kind, double x)
{
    switch (kind) {
    case Sample::U8:
        b.append(char(quint8(128 + std::lround(x * 127))));
        break;
    case Sample::S16:
        put16(b, quint32(qint16(std::lround(x * 32767))));
        break;
    case Sample::S24:
    case Sample::S20in24: {
        const qint32 v = kind == Sample::S24 ? qint32(std::lround(x * 8388607)) : qint32(std::lround(x * 524287)) * 16;
        b.append(char(v & 0xFF));
        b.append(char((v >> 8) & 0xFF));
        b.append(char((v >> 16) & 0xFF));
        break;
    }
    case Sample::S32:
        put32(b, quint32(qint32(std::lround(x * 2147483647.0))));
        break;
    case Sample::F32: {
        const float f = float(x);
        quint32 v;
        std::memcpy(&v, &f, 4);
        put32(b, v);
        break;
    }
    case Sample::F64: {
        quint64 v;
        std::memcpy(&v, &x, 8);
        put32(b, quint32(v));
        put32(b, quint32(v >> 32));
        break;
    }
    case Sample::MuLaw:
        b.append(char(muLaw(int(std::lround(x * 32767)))));
        break;
    }
}

int containerBits(Sample s)
{
    switch (s) {
    case Sample::U8:
    case Sample::MuLaw: return 8;
    case Sample::S16: return 16;
    case Sample::S24:
    case Sample::S20in24: return 24;
    case Sample::S32:
    case Sample::F32: return 32;
    case Sample::F64: return 64;
    }
    return 16;
}

int formatTag(Sample s)
{
    return s == Sample::F32 || s == Sample::F64 ? 3 : s == Sample::MuLaw ? 7 : 1;
}

// The speaker positions of the usual layouts for 1 to 6 channels.
quint32 channelMask(int channels)
{
    switch (channels) {
    case 1: return 0x4;   // centre
    case 2: return 0x3;   // left, right
    case 3: return 0x7;   // left, right, centre
    case 4: return 0x33;  // quad: left, right, back left, back right
    case 5: return 0x37;  // 5.0: quad and centre
    case 6: return 0x3F;  // 5.1
    }
    return 0;
}

} // namespace

QString writeWav(const QString& path, const WavShape& s)
{
    const int bits = containerBits(s.sample);
    const int blockAlign = bits / 8 * s.channels;
    QByteArray data;
    data.reserve(int(s.frames * blockAlign));
    for (qint64 i = 0; i < s.frames; ++i)
        for (int c = 0; c < s.channels; ++c) {
            const double hz = s.sameInAll ? 1000.0 : 440.0 + 110.0 * c;
            appendSample(data, s.sample, s.peak * std::sin(2 * M_PI * hz * double(i) / s.rate));
        }

    QByteArray fmt;
    const int tag = formatTag(s.sample);
    put16(fmt, s.extensible ? 0xFFFE : quint32(tag));
    put16(fmt, quint32(s.channels));
    put32(fmt, quint32(s.rate));
    put32(fmt, quint32(s.rate * blockAlign));
    put16(fmt, quint32(blockAlign));
    put16(fmt, quint32(bits));
    if (s.extensible) {
        put16(fmt, 22);
        put16(fmt, quint32(s.sample == Sample::S20in24 ? 20 : bits));
        put32(fmt, channelMask(s.channels));
        put32(fmt, quint32(tag));
        fmt.append(QByteArray::fromHex("00001000800000aa00389b71"));
    } else if (tag != 1) {
        put16(fmt, 0);
    }

    QByteArray body("WAVE");
    body.append("fmt ");
    put32(body, quint32(fmt.size()));
    body.append(fmt);
    if (tag != 1) { // what writers of non-PCM files add
        body.append("fact");
        put32(body, 4);
        put32(body, quint32(s.frames));
    }
    body.append("data");
    put32(body, quint32(data.size()));
    body.append(data);
    if (data.size() & 1)
        body.append('\0');

    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    QByteArray file("RIFF");
    put32(file, quint32(body.size()));
    file.append(body);
    return f.write(file) == file.size() ? path : QString();
}

Decoded decodeFile(const QString& path)
{
    Decoded r;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, ("file:" + path).toUtf8().constData(), nullptr, nullptr) < 0) {
        r.error = QStringLiteral("not a container");
        return r;
    }
    AVCodecContext* dec = nullptr;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const AVCodec* codec = nullptr;
    int idx = -1;
    if (avformat_find_stream_info(fmt, nullptr) >= 0)
        idx = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (idx >= 0 && codec) {
        dec = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(dec, fmt->streams[idx]->codecpar);
        dec->pkt_timebase = fmt->streams[idx]->time_base;
    }
    if (!dec || avcodec_open2(dec, codec, nullptr) < 0) {
        r.error = QStringLiteral("no audio stream that decodes");
    } else {
        r.rate = dec->sample_rate;
        r.channels = dec->ch_layout.nb_channels;
        bool failed = false, ended = false;
        auto drainFrames = [&] {
            int e;
            while ((e = avcodec_receive_frame(dec, frame)) >= 0) {
                r.frames += frame->nb_samples;
                av_frame_unref(frame);
            }
            if (e != AVERROR(EAGAIN) && e != AVERROR_EOF)
                failed = true;
        };
        while (!failed && !ended) {
            const int e = av_read_frame(fmt, pkt);
            if (e < 0) {
                ended = true;
                avcodec_send_packet(dec, nullptr);
            } else {
                if (pkt->stream_index == idx && avcodec_send_packet(dec, pkt) < 0)
                    failed = true;
                av_packet_unref(pkt);
            }
            drainFrames();
        }
        r.ok = !failed && r.frames > 0;
        if (failed)
            r.error = QStringLiteral("decoding failed");
        else if (r.frames == 0)
            r.error = QStringLiteral("no frames");
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
    return r;
}

} // namespace shapes
