// MP3 files through LAME's own interface, which carries every field of the
// MP3 record (the copyright, original, CRC and strict ISO bits, and the VBR
// limits), plus an ID3v2 tag of our own in front.
#include <QFile>
#include <cstdio>
#include <lame/lame.h>
#include <mutex>
#include <vector>

#include "components/AudioEncoderBackends.h"

namespace kvaudio {
namespace {

class LameBackend : public EncoderBackend {
public:
    LameBackend(const MP3Settings& s, int rate, int channels, const TagTexts& tags) : m_s(s), m_tags(tags)
    {
        m_rate = rate;
        m_channels = channels;
    }
    ~LameBackend() override
    {
        if (m_file)
            std::fclose(m_file);
        if (m_gf)
            lame_close(m_gf);
    }

    bool open(const QString& path, QString* error) override
    {
        // LAME fills shared tables on its first set-up; encoders of several
        // components may start at the same time.
        static std::mutex setupMutex;
        std::lock_guard<std::mutex> lock(setupMutex);
        m_gf = lame_init();
        if (!m_gf)
            return fail(error, QStringLiteral("The MP3 encoder cannot start."));
        lame_set_in_samplerate(m_gf, m_rate);
        lame_set_out_samplerate(m_gf, m_rate);
        lame_set_num_channels(m_gf, m_channels);
        if (m_channels == 1) {
            lame_set_mode(m_gf, MONO);
        } else {
            switch (m_s.Mode) {
            case 0: lame_set_mode(m_gf, STEREO); break;
            case 1: lame_set_mode(m_gf, JOINT_STEREO); break;
            case 2: lame_set_mode(m_gf, DUAL_CHANNEL); break;
            case 5:
                lame_set_mode(m_gf, JOINT_STEREO);
                lame_set_force_ms(m_gf, 1);
                break;
            default: break; // not set: the encoder chooses
            }
        }
        lame_set_copyright(m_gf, m_s.Copyright != 0);
        lame_set_original(m_gf, m_s.Original != 0);
        lame_set_error_protection(m_gf, m_s.ErrorProtection != 0);
        lame_set_strict_ISO(m_gf, m_s.StrictISO != 0);
        lame_set_quality(m_gf, qBound(0, m_s.Quality, 9));
        lame_set_bWriteVbrTag(m_gf, m_s.WriteVBRTag != 0);
        lame_set_write_id3tag_automatic(m_gf, 0);

        int minIdx = qBound(0, m_s.MinBitrate, 18), maxIdx = qBound(0, m_s.MaxBitrate, 18);
        if (minIdx > maxIdx)
            std::swap(minIdx, maxIdx);
        switch (m_s.VBRMode) {
        case 0:
            lame_set_VBR(m_gf, vbr_off);
            lame_set_brate(m_gf, m_s.Bitrate > 0 ? m_s.Bitrate : 128);
            break;
        case 3:
            lame_set_VBR(m_gf, vbr_abr);
            lame_set_VBR_mean_bitrate_kbps(m_gf, m_s.ABRBitrate > 0 ? m_s.ABRBitrate : 128);
            lame_set_VBR_min_bitrate_kbps(m_gf, kMP3BitrateList[minIdx]);
            lame_set_VBR_max_bitrate_kbps(m_gf, kMP3BitrateList[maxIdx]);
            lame_set_VBR_hard_min(m_gf, m_s.VBRForceMinBitrate != 0);
            break;
        default: // variable bitrate
            lame_set_VBR(m_gf, vbr_default);
            lame_set_VBR_q(m_gf, qBound(0, m_s.VBRQuality, 9));
            lame_set_VBR_min_bitrate_kbps(m_gf, kMP3BitrateList[minIdx]);
            lame_set_VBR_max_bitrate_kbps(m_gf, kMP3BitrateList[maxIdx]);
            lame_set_VBR_hard_min(m_gf, m_s.VBRForceMinBitrate != 0);
            break;
        }
        if (lame_init_params(m_gf) < 0)
            return fail(error, QStringLiteral("The MP3 settings do not suit %1 Hz, %2 channel(s).").arg(m_rate).arg(m_channels));

        m_file = std::fopen(QFile::encodeName(path).constData(), "wb");
        if (!m_file)
            return fail(error, QStringLiteral("The output file cannot be created."));
        const QByteArray id3 = buildId3v2Tag(m_tags);
        if (!id3.isEmpty() && std::fwrite(id3.constData(), 1, size_t(id3.size()), m_file) != size_t(id3.size()))
            return fail(error, QStringLiteral("The output file cannot be written."));
        m_audioStart = id3.size();
        return true;
    }

    bool write(const float* interleaved, int frames, QString* error) override
    {
        // Planar buffers: LAME's interleaved float entry assumes two channels.
        m_left.resize(size_t(frames));
        m_right.resize(m_channels == 2 ? size_t(frames) : 0);
        for (int i = 0; i < frames; ++i) {
            if (m_channels == 2) {
                m_left[size_t(i)] = interleaved[2 * i];
                m_right[size_t(i)] = interleaved[2 * i + 1];
            } else {
                m_left[size_t(i)] = interleaved[i];
            }
        }
        m_out.resize(size_t(frames) * 5 / 4 + 7200);
        const int n = lame_encode_buffer_ieee_float(m_gf, m_left.data(), m_channels == 2 ? m_right.data() : m_left.data(),
                                                    frames, m_out.data(), int(m_out.size()));
        if (n < 0)
            return fail(error, QStringLiteral("MP3 encoding failed (%1).").arg(n));
        return put(n, error);
    }

    bool finish(QString* error) override
    {
        m_out.resize(7200 * 2);
        const int n = lame_encode_flush(m_gf, m_out.data(), int(m_out.size()));
        if (n < 0)
            return fail(error, QStringLiteral("MP3 encoding failed (%1).").arg(n));
        if (!put(n, error))
            return false;
        if (lame_get_bWriteVbrTag(m_gf)) {
            // The Xing/Info frame is only known now; it goes where the first frame was reserved.
            unsigned char tag[2880];
            const size_t len = lame_get_lametag_frame(m_gf, tag, sizeof tag);
            if (len > 0 && len <= sizeof tag) {
                if (std::fseek(m_file, long(m_audioStart), SEEK_SET) != 0 || std::fwrite(tag, 1, len, m_file) != len)
                    return fail(error, QStringLiteral("The output file cannot be written."));
            }
        }
        const bool ok = std::fflush(m_file) == 0 && !std::ferror(m_file);
        const bool closed = std::fclose(m_file) == 0;
        m_file = nullptr;
        if (!ok || !closed)
            return fail(error, QStringLiteral("The output file cannot be written (is the disk full?)."));
        return true;
    }

private:
    bool put(int n, QString* error)
    {
        if (n > 0 && std::fwrite(m_out.data(), 1, size_t(n), m_file) != size_t(n))
            return fail(error, QStringLiteral("The output file cannot be written (is the disk full?)."));
        return true;
    }
    bool fail(QString* error, const QString& text)
    {
        if (error)
            *error = text;
        return false;
    }

    MP3Settings m_s;
    TagTexts m_tags;
    lame_global_flags* m_gf = nullptr;
    FILE* m_file = nullptr;
    qint64 m_audioStart = 0;
    std::vector<float> m_left, m_right;
    std::vector<unsigned char> m_out;
};

void appendBE32(QByteArray& b, quint32 v)
{
    b.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
}

// Latin-1 when the text fits, else UTF-16 with a byte order mark.
QByteArray encodedText(const QString& s, bool* utf16)
{
    bool latin = true;
    for (QChar c : s)
        latin = latin && c.unicode() < 256;
    *utf16 = !latin;
    if (latin)
        return s.toLatin1();
    QByteArray out("\xFF\xFE", 2);
    for (QChar c : s)
        out.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return out;
}

} // namespace

QByteArray buildId3v2Tag(const TagTexts& t)
{
    QByteArray frames;
    auto frame = [&](const char* id, const QByteArray& body) {
        frames.append(id, 4);
        appendBE32(frames, quint32(body.size()));
        frames.append("\0\0", 2);
        frames.append(body);
    };
    auto text = [&](const char* id, const QString& s) {
        if (s.isEmpty())
            return;
        bool utf16 = false;
        const QByteArray enc = encodedText(s, &utf16);
        frame(id, QByteArray(1, utf16 ? '\1' : '\0') + enc);
    };
    text("TIT2", t.title);
    text("TPE1", t.artist);
    text("TALB", t.album);
    text("TYER", t.year);
    text("TRCK", t.track);
    text("TCON", t.genre);
    if (!t.comment.isEmpty()) {
        bool utf16 = false;
        const QByteArray enc = encodedText(t.comment, &utf16);
        QByteArray body(1, utf16 ? '\1' : '\0');
        body.append("eng", 3);
        body.append(utf16 ? QByteArray("\xFF\xFE\0\0", 4) : QByteArray(1, '\0')); // empty description
        body.append(enc);
        frame("COMM", body);
    }
    if (frames.isEmpty())
        return {};
    QByteArray tag("ID3\3\0\0", 6);
    const quint32 n = quint32(frames.size());
    tag.append(char((n >> 21) & 0x7F)).append(char((n >> 14) & 0x7F)).append(char((n >> 7) & 0x7F)).append(char(n & 0x7F));
    return tag + frames;
}

std::unique_ptr<EncoderBackend> makeLameBackend(const MP3Settings& settings, int rate, int channels, const TagTexts& tags)
{
    return std::make_unique<LameBackend>(settings, rate, channels, tags);
}

} // namespace kvaudio
