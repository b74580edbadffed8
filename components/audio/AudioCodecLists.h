#pragma once
// The codec and format lists the converter offers: the ACM-style WAV codecs
// (each format named by its rate, bits and channels, so that a name reads
// back into a format) and the WMA codecs with their formats.
#include <QString>
#include <QVector>

namespace kvaudio {

struct PcmShape {
    int rate = 0;
    int bits = 0;
    int channels = 0;
};

struct AcmCodec {
    QString name;        // what the lists show and SetACMFormat takes back
    const char* encoder; // FFmpeg encoder
    QVector<PcmShape> formats;
    // True when the codec takes PCM of this shape as it is, without a change of rate or channels.
    bool convertsFrom(int rate, int channels, int bits) const;
};

const QVector<AcmCodec>& acmCodecs();
const AcmCodec* findAcmCodec(const QString& name);
QString acmFormatName(const PcmShape& f);
bool parseAcmFormatName(const QString& name, PcmShape* f);

struct WmaFormat {
    int kbps;
    int rate;
    int channels;
};
struct WmaCodec {
    QString name;
    const char* encoder;
};

const QVector<WmaCodec>& wmaCodecs();
const QVector<WmaFormat>& wmaFormats(); // the same for every codec
QString wmaFormatName(const WmaFormat& f);

} // namespace kvaudio
