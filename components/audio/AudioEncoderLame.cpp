// MP3 files through LAME's own interface, which carries every field of the
// MP3 record (the copyright, original, CRC and strict ISO bits, and the VBR
// limits), plus an ID3v2 tag in front, built by the tag codec.
#include <QFile>
#include <cstdio>
#include <lame/lame.h>
#include <mutex>
#include <vector>

#include "components/audio/AudioEncoderBackends.h"
#include "components/audio/LameEncoder.h"
#include "tags/Id3v2Codec.h"

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
        bool paramsOk = false;
        m_gf = newLameEncoder(m_s, m_rate, m_channels, &paramsOk);
        if (!m_gf)
            return fail(error, QStringLiteral("The MP3 encoder cannot start."));
        if (!paramsOk)
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
            // The Xing/Info frame is only known now; it goes where the first
            // frame was reserved, right after the ID3v2 tag.
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

} // namespace

QByteArray buildId3v2Tag(const TagTexts& t)
{
    std::vector<id3v2::Frame> store;
    auto add = [&](const char* id, const QString& text) {
        if (text.isEmpty())
            return;
        id3v2::TagEntry e;
        e.text = text;
        store.push_back({QString::fromLatin1(id), {e}});
    };
    add("TIT2", t.title);
    add("TPE1", t.artist);
    add("TALB", t.album);
    add("TYER", t.year);
    add("TRCK", t.track);
    add("TCON", t.genre);
    add("COMM", t.comment);
    if (store.empty())
        return {};
    QByteArray image;
    if (id3v2::buildImage(store, image) != 0)
        return {};
    id3v2::writeSynchsafe(image.data() + 6, quint32(image.size() - id3v2::kHeaderSize));
    return image;
}

lame_global_struct* newLameEncoder(const MP3Settings& s, int rate, int channels, bool* paramsOk)
{
    *paramsOk = false;
    // LAME fills shared tables on its first set-up; encoders of several
    // components may start at the same time.
    static std::mutex setupMutex;
    std::lock_guard<std::mutex> lock(setupMutex);
    lame_global_flags* gf = lame_init();
    if (!gf)
        return nullptr;
    lame_set_in_samplerate(gf, rate);
    lame_set_out_samplerate(gf, rate);
    lame_set_num_channels(gf, channels);
    if (channels == 1) {
        lame_set_mode(gf, MONO);
    } else {
        switch (s.Mode) {
        case 0: lame_set_mode(gf, STEREO); break;
        case 1: lame_set_mode(gf, JOINT_STEREO); break;
        case 2: lame_set_mode(gf, DUAL_CHANNEL); break;
        case 5:
            lame_set_mode(gf, JOINT_STEREO);
            lame_set_force_ms(gf, 1);
            break;
        default: break; // not set: the encoder chooses
        }
    }
    lame_set_copyright(gf, s.Copyright != 0);
    lame_set_original(gf, s.Original != 0);
    lame_set_error_protection(gf, s.ErrorProtection != 0);
    lame_set_strict_ISO(gf, s.StrictISO != 0);
    lame_set_quality(gf, qBound(0, s.Quality, 9));
    // The Xing/Info frame goes into every mode, not only VBR: it carries the
    // encoder's delay and padding, which decoders trim to give back the
    // exact length.
    lame_set_bWriteVbrTag(gf, 1);
    lame_set_write_id3tag_automatic(gf, 0);

    int minIdx = qBound(0, s.MinBitrate, 18), maxIdx = qBound(0, s.MaxBitrate, 18);
    if (minIdx > maxIdx)
        std::swap(minIdx, maxIdx);
    switch (s.VBRMode) {
    case 0:
        lame_set_VBR(gf, vbr_off);
        lame_set_brate(gf, s.Bitrate > 0 ? s.Bitrate : 128);
        break;
    case 3:
        lame_set_VBR(gf, vbr_abr);
        lame_set_VBR_mean_bitrate_kbps(gf, s.ABRBitrate > 0 ? s.ABRBitrate : 128);
        lame_set_VBR_min_bitrate_kbps(gf, kMP3BitrateList[minIdx]);
        lame_set_VBR_max_bitrate_kbps(gf, kMP3BitrateList[maxIdx]);
        lame_set_VBR_hard_min(gf, s.VBRForceMinBitrate != 0);
        break;
    default: // variable bitrate
        lame_set_VBR(gf, vbr_default);
        lame_set_VBR_q(gf, qBound(0, s.VBRQuality, 9));
        lame_set_VBR_min_bitrate_kbps(gf, kMP3BitrateList[minIdx]);
        lame_set_VBR_max_bitrate_kbps(gf, kMP3BitrateList[maxIdx]);
        lame_set_VBR_hard_min(gf, s.VBRForceMinBitrate != 0);
        break;
    }
    *paramsOk = lame_init_params(gf) >= 0;
    return gf;
}

std::unique_ptr<EncoderBackend> makeLameBackend(const MP3Settings& settings, int rate, int channels, const TagTexts& tags)
{
    return std::make_unique<LameBackend>(settings, rate, channels, tags);
}

} // namespace kvaudio
