#include "components/audio/ApeCodec.h"

#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstring>

#include "components/audio/AudioTags.h"

extern "C" {
#include <libavutil/crc.h>
}

namespace kvaudio::ape {
namespace {

// Range coder: 32-bit code, bytes out as soon as no carry can reach them.
constexpr uint32_t kTop = 1u << 31;
constexpr uint32_t kBottom = kTop >> 8;
constexpr int kShiftBits = 23;

class RangeEncoder {
public:
    explicit RangeEncoder(std::vector<uint8_t>& out) : m_out(out) {}

    // A symbol of width `width` starting at `start` within a total of 2^shift.
    void encodeShift(int shift, uint32_t width, uint32_t start)
    {
        normalize();
        const uint32_t r = m_range >> shift;
        m_range = r * width;
        m_low += r * start;
    }
    void encodeFreq(uint32_t total, uint32_t width, uint32_t start)
    {
        normalize();
        const uint32_t r = m_range / total;
        m_range = r * width;
        m_low += r * start;
    }
    // Leaves a code inside the final interval, then enough bytes for a
    // decoder that reads ahead.
    void finish()
    {
        normalize();
        const uint32_t t = (m_low >> kShiftBits) + 1;
        if (t > 0xFF) {
            put(m_buffer + 1);
            for (; m_pending; --m_pending)
                put(0x00);
        } else {
            put(m_buffer);
            for (; m_pending; --m_pending)
                put(0xFF);
        }
        put(t & 0xFF);
        put(0);
        put(0);
        put(0);
    }

private:
    void put(uint32_t b) { m_out.push_back(uint8_t(b)); }
    void normalize()
    {
        while (m_range <= kBottom) {
            if (m_low < (0xFFu << kShiftBits)) {
                put(m_buffer);
                for (; m_pending; --m_pending)
                    put(0xFF);
                m_buffer = m_low >> kShiftBits;
            } else if (m_low & kTop) {
                put(m_buffer + 1);
                for (; m_pending; --m_pending)
                    put(0x00);
                m_buffer = (m_low >> kShiftBits) & 0xFF;
            } else {
                ++m_pending; // a run of 0xFF whose fate the next carry decides
            }
            m_low = (m_low << 8) & (kTop - 1);
            m_range <<= 8;
        }
    }

    std::vector<uint8_t>& m_out;
    uint32_t m_low = 0, m_range = kTop, m_buffer = 0, m_pending = 0;
};

// The overflow model of the residual coder.
constexpr std::array<uint16_t, 22> kCounts = {0,     19578, 36160, 48417, 56323, 60899, 63265, 64435,
                                              64971, 65232, 65351, 65416, 65447, 65466, 65476, 65482,
                                              65485, 65488, 65490, 65491, 65492, 65493};
constexpr int kModelElements = 64;

struct Rice {
    uint32_t k = 10;
    uint32_t ksum = (1u << 10) * 16;
    void update(uint32_t x)
    {
        const uint32_t lim = k ? (1u << (k + 4)) : 0;
        ksum += ((x + 1) / 2) - ((ksum + 16) >> 5);
        if (ksum < lim)
            --k;
        else if (ksum >= (1u << (k + 5)) && k < 24)
            ++k;
    }
};

void encodeValue(RangeEncoder& rc, Rice& rice, int32_t v)
{
    const uint32_t x = v > 0 ? (uint32_t(v) << 1) - 1 : uint32_t(0) - (uint32_t(v) << 1);
    uint32_t pivot = rice.ksum >> 5;
    if (pivot == 0)
        pivot = 1;
    const uint32_t overflow = x / pivot;
    const uint32_t base = x % pivot;

    if (overflow < kCounts.size() - 1) {
        rc.encodeShift(16, kCounts[overflow + 1] - kCounts[overflow], kCounts[overflow]);
    } else if (overflow < kModelElements - 1) {
        // Rare overflows each take one code point at the top of the model.
        rc.encodeShift(16, 1, overflow + 65535 - (kModelElements - 1));
    } else {
        rc.encodeShift(16, 1, 65535);
        rc.encodeShift(16, 1, overflow >> 16);
        rc.encodeShift(16, 1, overflow & 0xFFFF);
    }

    if (pivot < 0x10000) {
        rc.encodeFreq(pivot, 1, base);
    } else {
        uint32_t hi = pivot;
        int bits = 0;
        while (hi & ~0xFFFFu) {
            hi >>= 1;
            ++bits;
        }
        rc.encodeFreq(hi + 1, 1, base >> bits);
        rc.encodeFreq(1u << bits, 1, base & ((1u << bits) - 1));
    }
    rice.update(x);
}

inline int32_t signOf(int32_t x) { return (x < 0) - (x > 0); } // inverted on purpose

// Sign-LMS filter over 16-bit history. The memory layout (coefficients,
// then a history in which the adaption values trail the outputs by `order`)
// is part of the format: its rounding of old values decides the result.
constexpr int kHistorySize = 512;

class NNFilter {
public:
    NNFilter(int order, int fracBits)
        : m_order(order), m_fracBits(fracBits), m_mem(size_t(order) * 3 + kHistorySize, 0)
    {
        m_coeffs = m_mem.data();
        m_history = m_coeffs + order;
        m_delay = m_history + order * 2;
        m_adapt = m_history + order;
    }

    // Given the value the decoder must produce, returns the value it is fed.
    int32_t encode(int32_t out)
    {
        const int16_t* d = m_delay - m_order;
        uint32_t dot = 0;
        for (int i = 0; i < m_order; ++i)
            dot += uint32_t(int32_t(m_coeffs[i]) * int32_t(d[i]));
        const int32_t pred = int32_t((int64_t(int32_t(dot)) + (int64_t(1) << (m_fracBits - 1))) >> m_fracBits);
        const int32_t in = int32_t(uint32_t(out) - uint32_t(pred));

        const int mul = signOf(in);
        if (mul) {
            const int16_t* a = m_adapt - m_order;
            for (int i = 0; i < m_order; ++i)
                m_coeffs[i] = int16_t(m_coeffs[i] + mul * a[i]);
        }

        *m_delay++ = int16_t(std::clamp(out, -32768, 32767));
        const uint32_t absres = out < 0 ? uint32_t(0) - uint32_t(out) : uint32_t(out);
        if (absres) {
            const int shift = (int64_t(absres) > int64_t(m_avg) * 3) + (int64_t(absres) > int64_t(m_avg) + m_avg / 3);
            *m_adapt = int16_t(signOf(out) * (8 << shift));
        } else {
            *m_adapt = 0;
        }
        m_avg += int32_t(absres - uint32_t(m_avg)) / 16;
        m_adapt[-1] >>= 1;
        m_adapt[-2] >>= 1;
        m_adapt[-8] >>= 1;
        ++m_adapt;

        if (m_delay == m_history + kHistorySize + m_order * 2) {
            std::memmove(m_history, m_delay - m_order * 2, size_t(m_order) * 2 * sizeof(int16_t));
            m_delay = m_history + m_order * 2;
            m_adapt = m_history + m_order;
        }
        return in;
    }

private:
    int m_order, m_fracBits;
    std::vector<int16_t> m_mem;
    int16_t* m_coeffs;
    int16_t* m_history;
    int16_t* m_delay;
    int16_t* m_adapt;
    int32_t m_avg = 0;
};

struct FilterSpec {
    int order, fracBits;
};
// Filters per compression level, applied by the decoder in this order.
const std::vector<FilterSpec>& filtersFor(int level)
{
    static const std::vector<FilterSpec> specs[5] = {
        {}, {{16, 11}}, {{64, 11}}, {{32, 10}, {256, 13}}, {{16, 11}, {256, 13}, {1280, 15}}};
    return specs[std::clamp(level / 1000 - 1, 0, 4)];
}

// The stage after the filters: a fixed first-order filter over an adaptive
// predictor; in stereo the side channel also predicts from the mid one.
constexpr int kPredictorOrder = 8;
constexpr int kPredictorSize = 50;
constexpr int kYDelayA = 18 + kPredictorOrder * 4;
constexpr int kYDelayB = 18 + kPredictorOrder * 3;
constexpr int kXDelayA = 18 + kPredictorOrder * 2;
constexpr int kXDelayB = 18 + kPredictorOrder;
constexpr int kYAdaptA = 18;
constexpr int kXAdaptA = 14;
constexpr int kYAdaptB = 10;
constexpr int kXAdaptB = 5;

class Predictor {
public:
    Predictor()
    {
        for (auto& c : m_coeffsA)
            c = {360, 317, uint32_t(-109), 98};
        m_buf = m_history.data();
    }

    // Stereo: channel 0 (side), then channel 1 (mid) of one sample.
    int32_t encodeStereo(int32_t out, int filter)
    {
        const int delayA = filter ? kXDelayA : kYDelayA;
        const int delayB = filter ? kXDelayB : kYDelayB;
        const int adaptA = filter ? kXAdaptA : kYAdaptA;
        const int adaptB = filter ? kXAdaptB : kYAdaptB;
        int32_t* b = m_buf;

        b[delayA] = m_lastA[filter];
        b[adaptA] = signOf(b[delayA]);
        b[delayA - 1] = int32_t(uint32_t(b[delayA]) - uint32_t(b[delayA - 1]));
        b[adaptA - 1] = signOf(b[delayA - 1]);
        const uint32_t* cA = m_coeffsA[filter].data();
        const int32_t predA = int32_t(uint32_t(b[delayA]) * cA[0] + uint32_t(b[delayA - 1]) * cA[1]
                                      + uint32_t(b[delayA - 2]) * cA[2] + uint32_t(b[delayA - 3]) * cA[3]);

        b[delayB] = int32_t(uint32_t(m_filterA[filter ^ 1]) - uint32_t(int32_t(uint32_t(m_filterB[filter]) * 31u) >> 5));
        b[adaptB] = signOf(b[delayB]);
        b[delayB - 1] = int32_t(uint32_t(b[delayB]) - uint32_t(b[delayB - 1]));
        b[adaptB - 1] = signOf(b[delayB - 1]);
        m_filterB[filter] = m_filterA[filter ^ 1];
        const uint32_t* cB = m_coeffsB[filter].data();
        const int32_t predB = int32_t(uint32_t(b[delayB]) * cB[0] + uint32_t(b[delayB - 1]) * cB[1]
                                      + uint32_t(b[delayB - 2]) * cB[2] + uint32_t(b[delayB - 3]) * cB[3]
                                      + uint32_t(b[delayB - 4]) * cB[4]);

        const int32_t lastA = int32_t(uint32_t(out) - uint32_t(int32_t(uint32_t(m_filterA[filter]) * 31u) >> 5));
        const int32_t decoded = int32_t(uint32_t(lastA) - uint32_t(int32_t(uint32_t(predA) + uint32_t(predB >> 1)) >> 10));
        m_lastA[filter] = lastA;
        m_filterA[filter] = out;

        const uint32_t sign = uint32_t(signOf(decoded));
        for (int i = 0; i < 4; ++i)
            m_coeffsA[filter][i] += uint32_t(b[adaptA - i]) * sign;
        for (int i = 0; i < 5; ++i)
            m_coeffsB[filter][i] += uint32_t(b[adaptB - i]) * sign;
        return decoded;
    }

    int32_t encodeMono(int32_t out)
    {
        int32_t* b = m_buf;
        b[kYDelayA] = m_lastA[0];
        b[kYDelayA - 1] = int32_t(uint32_t(b[kYDelayA]) - uint32_t(b[kYDelayA - 1]));
        const uint32_t* cA = m_coeffsA[0].data();
        const int32_t predA = int32_t(uint32_t(b[kYDelayA]) * cA[0] + uint32_t(b[kYDelayA - 1]) * cA[1]
                                      + uint32_t(b[kYDelayA - 2]) * cA[2] + uint32_t(b[kYDelayA - 3]) * cA[3]);
        const int32_t currentA = int32_t(uint32_t(out) - uint32_t(int32_t(uint32_t(m_filterA[0]) * 31u) >> 5));
        const int32_t a = int32_t(uint32_t(currentA) - uint32_t(predA >> 10));

        b[kYAdaptA] = signOf(b[kYDelayA]);
        b[kYAdaptA - 1] = signOf(b[kYDelayA - 1]);
        const uint32_t sign = uint32_t(signOf(a));
        for (int i = 0; i < 4; ++i)
            m_coeffsA[0][i] += uint32_t(b[kYAdaptA - i]) * sign;
        advance();
        m_filterA[0] = out;
        m_lastA[0] = currentA;
        return a;
    }

    void advance()
    {
        if (++m_buf == m_history.data() + kHistorySize) {
            std::memmove(m_history.data(), m_buf, kPredictorSize * sizeof(int32_t));
            m_buf = m_history.data();
        }
    }

private:
    std::array<int32_t, kHistorySize + kPredictorSize> m_history{};
    int32_t* m_buf;
    int32_t m_lastA[2] = {0, 0};
    int32_t m_filterA[2] = {0, 0};
    int32_t m_filterB[2] = {0, 0};
    std::array<uint32_t, 4> m_coeffsA[2];
    std::array<uint32_t, 5> m_coeffsB[2] = {};
};

uint32_t pcmCrc(const int16_t* pcm, size_t samples)
{
    const AVCRC* table = av_crc_get_table(AV_CRC_32_IEEE_LE);
    uint32_t crc = UINT32_MAX;
    uint8_t le[2];
    for (size_t i = 0; i < samples; ++i) {
        qToLittleEndian<int16_t>(pcm[i], le);
        crc = av_crc(table, crc, le, 2);
    }
    return ~crc;
}

void putLE16(QByteArray& b, uint16_t v)
{
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}
void putLE32(QByteArray& b, uint32_t v)
{
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}

} // namespace

int compressionLevelForPosition(int position) { return (std::clamp(position, 0, 4) + 1) * 1000; }

int blocksPerFrame(int compressionLevel) { return compressionLevel >= 4000 ? 73728 * 4 : 73728; }

QByteArray encodeFrame(const int16_t* pcm, int blocks, int channels, int compressionLevel)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(size_t(blocks) * channels + 64);
    // The CRC leads the frame; its top bit would announce frame flags.
    const uint32_t crc = pcmCrc(pcm, size_t(blocks) * channels) >> 1;
    for (int s = 24; s >= 0; s -= 8)
        bytes.push_back(uint8_t(crc >> s));

    RangeEncoder rc(bytes);
    Rice riceY, riceX;
    Predictor predictor;
    const auto& specs = filtersFor(compressionLevel);
    std::vector<NNFilter> filtersY, filtersX;
    for (const FilterSpec& f : specs) {
        filtersY.emplace_back(f.order, f.fracBits);
        if (channels == 2)
            filtersX.emplace_back(f.order, f.fracBits);
    }
    auto throughFilters = [](std::vector<NNFilter>& filters, int32_t v) {
        for (auto it = filters.rbegin(); it != filters.rend(); ++it)
            v = it->encode(v);
        return v;
    };

    if (channels == 2) {
        for (int i = 0; i < blocks; ++i) {
            const int32_t left = pcm[2 * i], right = pcm[2 * i + 1];
            const int32_t side = right - left;
            const int32_t mid = left + side / 2;
            const int32_t y = throughFilters(filtersY, predictor.encodeStereo(side, 0));
            const int32_t x = throughFilters(filtersX, predictor.encodeStereo(mid, 1));
            predictor.advance();
            encodeValue(rc, riceY, y);
            encodeValue(rc, riceX, x);
        }
    } else {
        for (int i = 0; i < blocks; ++i)
            encodeValue(rc, riceY, throughFilters(filtersY, predictor.encodeMono(pcm[i])));
    }
    rc.finish();

    while (bytes.size() % 4)
        bytes.push_back(0);
    QByteArray stored(int(bytes.size()), Qt::Uninitialized);
    for (size_t i = 0; i < bytes.size(); i += 4)
        for (int j = 0; j < 4; ++j)
            stored[int(i + j)] = char(bytes[i + 3 - j]);
    return stored;
}

QByteArray buildFileHead(const StreamInfo& info, const std::vector<uint32_t>& frameSizes)
{
    constexpr uint32_t descriptorLength = 52, headerLength = 24;
    const uint32_t seekTableLength = uint32_t(frameSizes.size()) * 4;
    uint64_t audioBytes = 0;
    for (uint32_t s : frameSizes)
        audioBytes += s;

    QByteArray head;
    head.append("MAC ", 4);
    putLE16(head, kFileVersion);
    putLE16(head, 0);
    putLE32(head, descriptorLength);
    putLE32(head, headerLength);
    putLE32(head, seekTableLength);
    putLE32(head, 0); // no stored WAV header: decoders make one
    putLE32(head, uint32_t(audioBytes));
    putLE32(head, uint32_t(audioBytes >> 32));
    putLE32(head, 0);
    head.append(16, '\0'); // no MD5: it is optional, the frames carry CRCs

    putLE16(head, uint16_t(info.compressionLevel));
    putLE16(head, kFlagCreateWavHeader);
    putLE32(head, info.blocksPerFrame);
    putLE32(head, info.finalFrameBlocks);
    putLE32(head, info.totalFrames);
    putLE16(head, 16);
    putLE16(head, uint16_t(info.channels));
    putLE32(head, uint32_t(info.sampleRate));

    // Seek table: each frame's offset from the start of the file.
    uint64_t pos = descriptorLength + headerLength + seekTableLength;
    for (uint32_t s : frameSizes) {
        putLE32(head, uint32_t(pos));
        pos += s;
    }
    return head;
}

QByteArray buildApeTag(const TagTexts& tags)
{
    const std::pair<const char*, const QString*> fields[] = {
        {"Title", &tags.title}, {"Artist", &tags.artist}, {"Album", &tags.album}, {"Year", &tags.year},
        {"Comment", &tags.comment}, {"Track", &tags.track}, {"Genre", &tags.genre}};
    QByteArray items;
    uint32_t count = 0;
    for (const auto& [key, text] : fields) {
        const QByteArray value = text->trimmed().toUtf8();
        if (value.isEmpty())
            continue;
        putLE32(items, uint32_t(value.size()));
        putLE32(items, 0); // UTF-8 text, read-write
        items.append(key);
        items.append('\0');
        items.append(value);
        ++count;
    }
    if (!count)
        return {};

    constexpr uint32_t kHasHeader = 0x80000000u, kIsHeader = 0x20000000u;
    auto block = [&](uint32_t flags) {
        QByteArray b("APETAGEX", 8);
        putLE32(b, 2000);
        putLE32(b, uint32_t(items.size()) + 32); // items and footer
        putLE32(b, count);
        putLE32(b, flags);
        b.append(8, '\0');
        return b;
    };
    return block(kHasHeader | kIsHeader) + items + block(kHasHeader);
}

} // namespace kvaudio::ape
