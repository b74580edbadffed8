#include "components/audio/cAudioGraph.h"

#include <QPainter>
#include <cmath>
#include <complex>
#include <vector>

#include "components/audio/cPlayer.h"
#include "platform/Colors.h"

namespace {

// Levels below this are drawn as nothing.
constexpr double kFloorDb = -90.0;

void fft(std::vector<std::complex<double>>& a)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double ang = -2 * M_PI / double(len);
        const std::complex<double> wl(std::cos(ang), std::sin(ang));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k];
                const std::complex<double> v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= wl;
            }
        }
    }
}

} // namespace

cAudioGraph::cAudioGraph(GraphKind kind, QWidget* parent)
    : QWidget(parent)
    , m_kind(kind)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void cAudioGraph::DrawData(const cAudioData& data)
{
    if (data.isEmpty()) {
        m_hasData = false;
        m_wave.clear();
        m_spectrum.clear();
        return;
    }
    m_sampleRate = data.sampleRate;
    if (m_kind == AmplitudeGraph) {
        m_wave = data.samples;
        m_spectrum.clear();
    } else {
        computeSpectrum(data.samples);
        m_wave.clear();
    }
    m_hasData = true;
}

void cAudioGraph::computeSpectrum(const QVector<float>& samples)
{
    // The largest power of two the snapshot fills, Hann-windowed.
    size_t n = 1;
    while (n * 2 <= size_t(samples.size()) && n < 8192)
        n *= 2;
    if (n < 64) {
        m_spectrum.clear();
        return;
    }
    std::vector<std::complex<double>> a(n);
    const size_t offset = size_t(samples.size()) - n;
    for (size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * M_PI * double(i) / double(n - 1));
        a[i] = samples[int(offset + i)] * w;
    }
    fft(a);
    // A full-scale sine reads 0 dB: the Hann window halves its amplitude.
    const double scale = 4.0 / double(n);
    m_spectrum.resize(int(n / 2));
    for (size_t k = 0; k < n / 2; ++k) {
        const double mag = std::abs(a[k]) * scale;
        const double db = mag > 0 ? 20 * std::log10(mag) : kFloorDb;
        m_spectrum[int(k)] = float(qBound(0.0, (db - kFloorDb) / -kFloorDb, 1.0));
    }
}

void cAudioGraph::RefreshGraph() { update(); }

void cAudioGraph::ClearGraph()
{
    m_hasData = false;
    m_wave.clear();
    m_spectrum.clear();
    update();
}

void cAudioGraph::ReleaseComponent() { ClearGraph(); }

void cAudioGraph::setGraphBackColor(long color)
{
    m_back = color;
    update();
}

void cAudioGraph::setGraphTextColor(long color)
{
    m_text = color;
    update();
}

void cAudioGraph::setGraphLineColor(long color)
{
    m_line = color;
    update();
}

double cAudioGraph::XForFrequency(double hz) const
{
    if (!m_hasData || m_sampleRate <= 0)
        return -1;
    return hz / (m_sampleRate / 2.0) * width();
}

void cAudioGraph::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int w = width();
    const int h = height();
    p.fillRect(rect(), platform::colorFromBgr(quint32(m_back)));
    const QColor line = platform::colorFromBgr(quint32(m_line));
    const QColor text = platform::colorFromBgr(quint32(m_text));

    if (m_kind == AmplitudeGraph) {
        // The centre line, then each column's span of samples.
        p.setPen(text);
        p.drawLine(0, h / 2, w - 1, h / 2);
        if (m_hasData && !m_wave.isEmpty() && w > 0) {
            p.setPen(line);
            const int n = m_wave.size();
            const double half = (h - 1) / 2.0;
            for (int x = 0; x < w; ++x) {
                const int from = int(qint64(x) * n / w);
                const int to = qMax(from + 1, int(qint64(x + 1) * n / w));
                float lo = 1, hi = -1;
                for (int i = from; i < to && i < n; ++i) {
                    lo = qMin(lo, m_wave[i]);
                    hi = qMax(hi, m_wave[i]);
                }
                const int y1 = int(std::lround(half - qBound(-1.0f, hi, 1.0f) * half));
                const int y2 = int(std::lround(half - qBound(-1.0f, lo, 1.0f) * half));
                p.drawLine(x, y1, x, y2);
            }
        }
    } else if (m_hasData && !m_spectrum.isEmpty() && w > 0) {
        // One bar per column: the strongest bin that falls into it.
        p.setPen(line);
        const int bins = m_spectrum.size();
        for (int x = 0; x < w; ++x) {
            const int from = int(qint64(x) * bins / w);
            const int to = qMax(from + 1, int(qint64(x + 1) * bins / w));
            float level = 0;
            for (int k = from; k < to && k < bins; ++k)
                level = qMax(level, m_spectrum[k]);
            const int barHeight = int(std::lround(level * (h - 1)));
            if (barHeight > 0)
                p.drawLine(x, h - 1, x, h - 1 - barHeight);
        }
    }
}
