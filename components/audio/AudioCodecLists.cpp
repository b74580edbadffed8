#include "components/audio/AudioCodecLists.h"

#include <QRegularExpression>

namespace kvaudio {
namespace {

QVector<PcmShape> shapes(std::initializer_list<int> rates, std::initializer_list<int> bits)
{
    QVector<PcmShape> out;
    for (int r : rates)
        for (int b : bits)
            for (int c : {2, 1})
                out.push_back({r, b, c});
    return out;
}

} // namespace

bool AcmCodec::convertsFrom(int rate, int channels, int bits) const
{
    if (bits != 8 && bits != 16 && !(name == QLatin1String("PCM") && bits > 0))
        return false;
    for (const PcmShape& f : formats)
        if (f.rate == rate && f.channels == channels)
            return true;
    return false;
}

const QVector<AcmCodec>& acmCodecs()
{
    static const QVector<AcmCodec> list = {
        {QStringLiteral("PCM"), "pcm_s16le", shapes({48000, 44100, 32000, 22050, 16000, 11025, 8000}, {16, 8})},
        {QStringLiteral("MS ADPCM"), "adpcm_ms", shapes({44100, 22050, 11025, 8000}, {4})},
        {QStringLiteral("IMA ADPCM"), "adpcm_ima_wav", shapes({44100, 22050, 11025, 8000}, {4})},
        {QStringLiteral("GSM 6.10"), "libgsm_ms", {{8000, 0, 1}}},
        {QStringLiteral("A-Law"), "pcm_alaw", shapes({44100, 22050, 11025, 8000}, {8})},
        {QStringLiteral("u-Law"), "pcm_mulaw", shapes({44100, 22050, 11025, 8000}, {8})},
    };
    return list;
}

const AcmCodec* findAcmCodec(const QString& name)
{
    for (const AcmCodec& c : acmCodecs())
        if (c.name == name)
            return &c;
    return nullptr;
}

// GSM packs its samples in blocks and has no bits per sample: its header says 0.
QString acmFormatName(const PcmShape& f)
{
    return QStringLiteral("%1 Hz, %2 bit, %3")
        .arg(f.rate)
        .arg(f.bits)
        .arg(f.channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo"));
}

bool parseAcmFormatName(const QString& name, PcmShape* f)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d+) Hz, (\\d+) bit, (Mono|Stereo)\\s*$"));
    const auto m = re.match(name);
    if (!m.hasMatch())
        return false;
    f->rate = m.captured(1).toInt();
    f->bits = m.captured(2).toInt();
    f->channels = m.captured(3) == QLatin1String("Mono") ? 1 : 2;
    return true;
}

const QVector<WmaCodec>& wmaCodecs()
{
    static const QVector<WmaCodec> list = {
        {QStringLiteral("WMA version 2"), "wmav2"},
        {QStringLiteral("WMA version 1"), "wmav1"},
    };
    return list;
}

// Every entry is one the encoders accept (they need at least 24 kbit/s).
const QVector<WmaFormat>& wmaFormats()
{
    static const QVector<WmaFormat> list = {
        {192, 44100, 2}, {160, 44100, 2}, {128, 44100, 2}, {96, 44100, 2}, {80, 44100, 2},
        {64, 44100, 2},  {48, 44100, 2},  {192, 48000, 2}, {128, 48000, 2}, {48, 32000, 2},
        {40, 32000, 2},  {32, 22050, 2},  {32, 22050, 1},  {24, 22050, 1},
    };
    return list;
}

QString wmaFormatName(const WmaFormat& f)
{
    return QStringLiteral("%1 kbps, %2 Hz, %3")
        .arg(f.kbps)
        .arg(f.rate)
        .arg(f.channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo"));
}

} // namespace kvaudio
