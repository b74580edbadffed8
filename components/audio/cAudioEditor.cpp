#include "components/audio/cAudioEditor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QSaveFile>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <mutex>

#include "components/audio/AudioJobErrors.h"
#include "components/audio/AudioSource.h"
#include "components/audio/ProgressHook.h"
#include "components/audio/SoundDevice.h"

using namespace kvaudio;

namespace {

// Frames per summary block, and fine blocks per coarse block. A full view of
// an hour spans a few coarse blocks per pixel column.
constexpr int64_t kFineFrames = 256;
constexpr int64_t kCoarseBlocks = 32;
// Bytes read at a time by the workers.
constexpr int64_t kChunkBytes = 1 << 20;
constexpr int kPlayTickMs = 20;
constexpr int kPlayBufferMs = 250;
// How long Play waits for the file to open before it gives up on it.
constexpr int kPlayOpenTimeoutMs = 4000;

} // namespace

// The range that plays: read on the sound thread while its stream runs.
struct cAudioEditor::PlayState {
    QFile file;
    kvaudio::WavFormat format;
    qint64 first = 0;
    qint64 total = 0;
    qint64 fed = 0;
    std::vector<char> raw;

    size_t fill(void* dst, size_t bytes)
    {
        const int ch = format.channels;
        const qint64 n = std::min<qint64>(qint64(bytes / (sizeof(float) * size_t(ch))), total - fed);
        if (n <= 0)
            return 0;
        raw.resize(size_t(n * format.blockAlign));
        file.seek(format.dataOffset + (first + fed) * format.blockAlign);
        const qint64 got = std::max<qint64>(0, file.read(raw.data(), qint64(raw.size()))) / format.blockAlign;
        auto* out = static_cast<float*>(dst);
        DecodeWavSamples(raw.data(), got, format, out);
        // A short read plays as silence.
        std::fill(out + got * ch, out + n * ch, 0.0f);
        fed += n;
        return size_t(n) * size_t(ch) * sizeof(float);
    }
};

namespace {

QColor colorOf(long bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

void postTo(QObject* owner, std::function<void()> f)
{
    QMetaObject::invokeMethod(owner, std::move(f), Qt::QueuedConnection);
}

} // namespace

struct cAudioEditor::ScanState {
    std::atomic<bool> abort{false};
    std::mutex mutex;
    int code = 0;
    QString text;
    Peaks fine, coarse;
};

struct cAudioEditor::SaveState {
    std::atomic<bool> abort{false};
    enum Result { Done, Aborted, Error } result = Done;
    int code = 0;
    QString text;
};

cAudioEditor::cAudioEditor(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(200, 80);
    setFocusPolicy(Qt::ClickFocus);
    setAccessibleName(QStringLiteral("Waveform"));
    m_playTimer = new QTimer(this);
    m_playTimer->setTimerType(Qt::PreciseTimer);
    m_playTimer->setInterval(kPlayTickMs);
    connect(m_playTimer, &QTimer::timeout, this, [this] { showPlayCursor(); });
    m_stream = new kvsound::Stream(this);
    connect(m_stream, &kvsound::Stream::Drained, this, [this] { finishPlayback(false); });
    connect(m_stream, &kvsound::Stream::Failed, this, [this](const QString& text) {
        if (!m_play)
            return;
        finishPlayback(false);
        raiseError(ErrPlayDevice, QStringLiteral("Playing stopped: the sound system failed (%1).").arg(text));
    });
}

cAudioEditor::~cAudioEditor()
{
    ReleaseComponent();
    // Nothing queued for this object may arrive while its bases go.
    QCoreApplication::removePostedEvents(this);
}

void cAudioEditor::raiseError(long code, const QString& text)
{
    postTo(this, [this, code, text] {
        if (!m_released)
            emit EditorError(code, text);
    });
}

void cAudioEditor::setEditorTextColor(long bgr)
{
    m_textColor = colorOf(bgr);
    update();
}

void cAudioEditor::setEditorBackColor(long bgr)
{
    m_backColor = colorOf(bgr);
    update();
}

void cAudioEditor::setEditorAccentColor(long bgr)
{
    m_accentColor = colorOf(bgr);
    update();
}

long cAudioEditor::msOfFrame(qint64 frame) const
{
    if (m_format.sampleRate <= 0)
        return 0;
    return long((frame * 1000 + m_format.sampleRate / 2) / m_format.sampleRate);
}

qint64 cAudioEditor::frameOfMs(long ms) const
{
    return (qint64(ms) * m_format.sampleRate + 500) / 1000;
}

// --- loading ---

void cAudioEditor::stopScan()
{
    ++m_scanGeneration;
    if (m_scan)
        m_scan->abort = true;
    if (m_scanThread.joinable())
        m_scanThread.join();
    m_scan.reset();
}

namespace {

// Fills blocks [firstBlock, lastBlock) of the fine summary from the file.
bool scanBlocks(const QString& path, const WavFormat& f, int64_t firstBlock, int64_t lastBlock,
                cAudioEditor::Peaks* fine, const std::atomic<bool>& abort, const std::function<void(int64_t)>& done)
{
    QFile file;
    if (OpenRegularFile(path, &file))
        return false;
    const int ch = f.channels;
    const int64_t chunkBlocks = std::max<int64_t>(1, kChunkBytes / (kFineFrames * f.blockAlign));
    std::vector<char> raw(size_t(chunkBlocks * kFineFrames * f.blockAlign));
    std::vector<float> samples(size_t(chunkBlocks * kFineFrames * ch));
    if (!file.seek(f.dataOffset + firstBlock * kFineFrames * f.blockAlign))
        return false;
    for (int64_t b = firstBlock; b < lastBlock && !abort; b += chunkBlocks) {
        const int64_t nb = std::min(chunkBlocks, lastBlock - b);
        const int64_t frames = std::min(nb * kFineFrames, f.frames - b * kFineFrames);
        const int64_t bytes = frames * f.blockAlign;
        if (file.read(raw.data(), bytes) != bytes)
            return false;
        DecodeWavSamples(raw.data(), frames, f, samples.data());
        for (int64_t k = 0; k < nb; ++k) {
            const int64_t from = k * kFineFrames;
            const int64_t to = std::min(frames, from + kFineFrames);
            float* out = fine->values.data() + (b + k) * ch * 2;
            for (int c = 0; c < ch; ++c) {
                float lo = 0, hi = 0;
                if (from < to)
                    lo = hi = samples[size_t(from * ch + c)];
                for (int64_t i = from; i < to; ++i) {
                    const float v = samples[size_t(i * ch + c)];
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                }
                out[c * 2] = lo;
                out[c * 2 + 1] = hi;
            }
        }
        if (done)
            done(b + nb);
    }
    return true;
}

} // namespace

void cAudioEditor::LoadWaveFile(const QString& path)
{
    if (m_released)
        return;
    if (m_play)
        finishPlayback(false);
    stopScan();
    m_path.clear();
    m_format = WavFormat();
    m_fine = Peaks();
    m_coarse = Peaks();
    m_peaksReady = false;
    m_raw.clear();
    m_rawStart = m_rawEnd = -1;
    m_rawReady = false;
    m_viewStart = m_viewEnd = 0;
    m_selStart = m_selEnd = 0;
    m_anchor = -1;
    update();

    // The header is read on the worker too: a slow disk, or a file that is
    // no WAV at all, never holds the window.
    const quint64 gen = m_scanGeneration;
    auto scan = std::make_shared<ScanState>();
    m_scan = scan;
    m_scanThread = std::thread([this, scan, path, gen] {
        WavFormat f;
        QString headerText;
        if (const int rc = ReadWavHeader(path, &f, &headerText)) {
            postTo(this, [this, gen, rc, headerText] { scanFinished(gen, false, rc, headerText); });
            return;
        }
        const long seconds = long(std::llround(double(f.frames) / f.sampleRate));
        postTo(this, [this, gen, path, f, seconds] {
            if (m_released || gen != m_scanGeneration)
                return;
            m_path = path;
            m_format = f;
            m_viewEnd = f.frames;
            update();
            emit EditorFileInfo(f.sampleRate, f.bitsPerSample, f.channels, seconds, long(f.frames));
        });
        const int64_t blocks = (f.frames + kFineFrames - 1) / kFineFrames;
        scan->fine.channels = scan->coarse.channels = f.channels;
        scan->fine.blockFrames = kFineFrames;
        scan->coarse.blockFrames = kFineFrames * kCoarseBlocks;
        scan->fine.values.assign(size_t(blocks * f.channels * 2), 0.0f);
        // Large files are read in parallel parts; a small one in one go.
        const int hw = int(std::max(1u, std::thread::hardware_concurrency()));
        const int parts = f.dataBytes < 64 * kChunkBytes ? 1 : std::min(4, hw);
        std::atomic<bool> failed{false};
        std::vector<std::thread> helpers;
        const int64_t per = (blocks + parts - 1) / parts;
        for (int p = 1; p < parts; ++p) {
            const int64_t a = std::min(blocks, p * per), b = std::min(blocks, (p + 1) * per);
            helpers.emplace_back([&, a, b] {
                if (!scanBlocks(path, f, a, b, &scan->fine, scan->abort, {}))
                    failed = true;
            });
        }
        int lastPercent = -1;
        const int64_t firstEnd = std::min(blocks, per);
        const bool ok = scanBlocks(path, f, 0, firstEnd, &scan->fine, scan->abort, [&](int64_t reached) {
            const int percent = firstEnd ? int(reached * 100 / firstEnd) : 100;
            if (percent != lastPercent) {
                lastPercent = percent;
                postTo(this, [this, gen, percent] {
                    if (!m_released && gen == m_scanGeneration)
                        emit EditorProgress(percent);
                });
                runProgressHook(percent, -1, scan->abort);
            }
        });
        for (auto& t : helpers)
            t.join();
        bool aborted = scan->abort;
        int code = 0;
        QString text;
        if (!aborted && (!ok || failed)) {
            code = ErrSourceUnreadable;
            text = QStringLiteral("The file \"%1\" could not be read to its end.").arg(path);
        }
        if (!aborted && !code) {
            const int64_t cb = (blocks + kCoarseBlocks - 1) / kCoarseBlocks;
            scan->coarse.values.assign(size_t(cb * f.channels * 2), 0.0f);
            for (int64_t i = 0; i < cb; ++i)
                for (int c = 0; c < f.channels; ++c) {
                    float lo = 0, hi = 0;
                    const int64_t end = std::min(blocks, (i + 1) * kCoarseBlocks);
                    for (int64_t j = i * kCoarseBlocks; j < end; ++j) {
                        const float* v = scan->fine.values.data() + (j * f.channels + c) * 2;
                        lo = j == i * kCoarseBlocks ? v[0] : std::min(lo, v[0]);
                        hi = j == i * kCoarseBlocks ? v[1] : std::max(hi, v[1]);
                    }
                    scan->coarse.values[size_t((i * f.channels + c) * 2)] = lo;
                    scan->coarse.values[size_t((i * f.channels + c) * 2 + 1)] = hi;
                }
        }
        postTo(this, [this, gen, aborted, code, text] { scanFinished(gen, aborted, code, text); });
    });
}

void cAudioEditor::scanFinished(quint64 generation, bool aborted, int code, const QString& text)
{
    if (m_released || generation != m_scanGeneration)
        return;
    if (m_scanThread.joinable())
        m_scanThread.join();
    std::shared_ptr<ScanState> scan = std::move(m_scan);
    if (aborted) {
        emit EditorAborted();
        return;
    }
    if (code) {
        emit EditorError(code, text);
        return;
    }
    m_fine = std::move(scan->fine);
    m_coarse = std::move(scan->coarse);
    m_peaksReady = true;
    update();
    emit WaveformReady();
}

// --- drawing ---

void cAudioEditor::setView(qint64 start, qint64 end)
{
    const qint64 frames = m_format.frames;
    end = std::clamp<qint64>(end, 0, frames);
    start = std::clamp<qint64>(start, 0, end);
    m_viewStart = start;
    m_viewEnd = end;
    update();
}

void cAudioEditor::columnRange(int column, int width, qint64* f0, qint64* f1) const
{
    const qint64 span = m_viewEnd - m_viewStart;
    *f0 = m_viewStart + span * column / width;
    *f1 = std::max(*f0 + 1, m_viewStart + span * (column + 1) / width);
}

qint64 cAudioEditor::frameAt(double x) const
{
    const int w = std::max(1, width());
    const qint64 span = m_viewEnd - m_viewStart;
    const qint64 f = m_viewStart + qint64(std::llround(std::clamp(x, 0.0, double(w)) * double(span) / w));
    return std::clamp<qint64>(f, 0, m_format.frames);
}

double cAudioEditor::xOfFrame(qint64 frame) const
{
    const qint64 span = std::max<qint64>(1, m_viewEnd - m_viewStart);
    return double(frame - m_viewStart) * width() / double(span);
}

void cAudioEditor::ensureRawCache()
{
    if (m_rawStart == m_viewStart && m_rawEnd == m_viewEnd)
        return;
    // A read under way comes back first; if the view moved meanwhile, its
    // painting asks again.
    if (m_rawReading)
        return;
    m_rawStart = m_viewStart;
    m_rawEnd = m_viewEnd;
    m_rawReady = false;
    m_raw.clear();
    const qint64 n = m_viewEnd - m_viewStart;
    if (n <= 0)
        return;
    m_rawReading = true;
    QPointer<cAudioEditor> self(this);
    std::thread([self, path = m_path, format = m_format, start = m_viewStart, n, gen = m_scanGeneration] {
        kvaudio::runSourceOpenHook();
        std::vector<float> samples(size_t(n * format.channels), 0.0f);
        QFile file;
        if (!OpenRegularFile(path, &file) && file.seek(format.dataOffset + start * format.blockAlign)) {
            const QByteArray bytes = file.read(n * format.blockAlign);
            DecodeWavSamples(bytes.constData(), bytes.size() / format.blockAlign, format, samples.data());
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, start, n, gen, samples = std::move(samples)]() mutable {
                if (!self)
                    return;
                self->m_rawReading = false;
                if (!self->m_released && gen == self->m_scanGeneration && self->m_rawStart == start &&
                    self->m_rawEnd == start + n) {
                    self->m_raw = std::move(samples);
                    self->m_rawReady = true;
                } else {
                    self->m_rawStart = self->m_rawEnd = -1;
                }
                self->update();
            },
            Qt::QueuedConnection);
    }).detach();
}

void cAudioEditor::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int w = width(), h = height();
    p.fillRect(rect(), palette().color(QPalette::Base));
    p.setPen(m_backColor);
    p.drawRect(0, 0, w - 1, h - 1);
    const int ch = m_format.channels;
    if (ch <= 0 || m_viewEnd <= m_viewStart)
        return;

    // Selection under the wave.
    if (m_selEnd > m_selStart) {
        const double x0 = xOfFrame(m_selStart), x1 = xOfFrame(m_selEnd);
        QColor sel = m_accentColor;
        sel.setAlpha(60);
        p.fillRect(QRectF(x0, 0, std::max(1.0, x1 - x0), h), sel);
    }

    const qint64 span = m_viewEnd - m_viewStart;
    const double framesPerColumn = double(span) / w;
    const Peaks* level = nullptr;
    if (m_peaksReady)
        level = framesPerColumn >= double(m_coarse.blockFrames) * 2 ? &m_coarse
                : framesPerColumn >= double(kFineFrames)           ? &m_fine
                                                                   : nullptr;
    if (m_peaksReady && !level) {
        ensureRawCache();
        // Until the samples are read the finest summaries stand in.
        if (!m_rawReady)
            level = &m_fine;
    }

    const double laneH = double(h) / ch;
    for (int c = 0; c < ch; ++c) {
        const double mid = laneH * c + laneH / 2;
        const double amp = laneH / 2 - 2;
        p.setPen(m_backColor);
        p.drawLine(QPointF(0, mid), QPointF(w, mid));
        if (c > 0)
            p.drawLine(QPointF(0, laneH * c), QPointF(w, laneH * c));
        if (!m_peaksReady)
            continue;
        p.setPen(m_accentColor);
        for (int x = 0; x < w; ++x) {
            qint64 f0, f1;
            columnRange(x, w, &f0, &f1);
            float lo = 0, hi = 0;
            bool any = false;
            if (level) {
                const qint64 bf = level->blockFrames;
                const qint64 b0 = f0 / bf, b1 = std::min<qint64>(level->blocks(), (f1 + bf - 1) / bf);
                const float* v = level->values.data();
                for (qint64 b = b0; b < b1; ++b) {
                    const float* m = v + (b * ch + c) * 2;
                    lo = any ? std::min(lo, m[0]) : m[0];
                    hi = any ? std::max(hi, m[1]) : m[1];
                    any = true;
                }
            } else {
                // One sample past the column joins neighbouring samples.
                for (qint64 f = f0; f < std::min(f1 + 1, m_rawEnd); ++f) {
                    const float s = m_raw[size_t((f - m_rawStart) * ch + c)];
                    lo = any ? std::min(lo, s) : s;
                    hi = any ? std::max(hi, s) : s;
                    any = true;
                }
            }
            if (!any)
                continue;
            const double y0 = mid - std::clamp(hi, -1.0f, 1.0f) * amp;
            const double y1 = mid - std::clamp(lo, -1.0f, 1.0f) * amp;
            p.drawLine(QPointF(x + 0.5, y0), QPointF(x + 0.5, std::max(y1, y0 + 1)));
        }
    }

    // Times of the view's ends, and the play cursor.
    p.setPen(m_textColor);
    const QFontMetrics fm(font());
    auto timeText = [this](qint64 frame) {
        const long ms = msOfFrame(frame);
        return QStringLiteral("%1:%2.%3")
            .arg(ms / 60000)
            .arg((ms / 1000) % 60, 2, 10, QLatin1Char('0'))
            .arg(ms % 1000, 3, 10, QLatin1Char('0'));
    };
    p.drawText(3, fm.ascent() + 2, timeText(m_viewStart));
    const QString endText = timeText(m_viewEnd);
    p.drawText(w - fm.horizontalAdvance(endText) - 3, fm.ascent() + 2, endText);
    if (m_playFrame >= 0) {
        const double x = xOfFrame(m_playFrame);
        p.drawLine(QPointF(x, 0), QPointF(x, h));
    }
}

// --- selection and zoom ---

void cAudioEditor::SelectFrames(qint64 start, qint64 end)
{
    if (m_format.frames <= 0)
        return;
    if (end < start)
        std::swap(start, end);
    m_selStart = std::clamp<qint64>(start, 0, m_format.frames);
    m_selEnd = std::clamp<qint64>(end, 0, m_format.frames);
    update();
    emit SelectionChanged(long(m_selStart), long(m_selEnd), msOfFrame(m_selStart), msOfFrame(m_selEnd));
}

void cAudioEditor::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_format.frames <= 0)
        return;
    m_anchor = frameAt(event->position().x());
    SelectFrames(m_anchor, m_anchor);
}

void cAudioEditor::mouseMoveEvent(QMouseEvent* event)
{
    if (m_anchor < 0 || !(event->buttons() & Qt::LeftButton))
        return;
    SelectFrames(m_anchor, frameAt(event->position().x()));
}

void cAudioEditor::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_anchor >= 0 && event->button() == Qt::LeftButton) {
        SelectFrames(m_anchor, frameAt(event->position().x()));
        m_anchor = -1;
    }
}

void cAudioEditor::wheelEvent(QWheelEvent* event)
{
    // Scrolls a zoomed view sideways, a tenth of the view per notch.
    const qint64 span = m_viewEnd - m_viewStart;
    if (span <= 0 || span >= m_format.frames) {
        event->ignore();
        return;
    }
    const QPoint d = event->angleDelta();
    const int steps = (d.x() != 0 ? d.x() : d.y()) / 120;
    if (steps == 0)
        return;
    const qint64 start = std::clamp<qint64>(m_viewStart - steps * std::max<qint64>(1, span / 10), 0,
                                            m_format.frames - span);
    setView(start, start + span);
}

void cAudioEditor::ZoomSelection()
{
    if (m_selEnd <= m_selStart)
        return;
    // At least a few frames across, so that a click-thin selection still shows something.
    qint64 start = m_selStart, end = m_selEnd;
    if (end - start < 16) {
        start = std::max<qint64>(0, start - 8);
        end = std::min<qint64>(m_format.frames, start + 16);
    }
    setView(start, end);
}

void cAudioEditor::ZoomRestore()
{
    setView(0, m_format.frames);
}

// --- saving ---

void cAudioEditor::SaveRange()
{
    if (m_released)
        return;
    if (m_saving) {
        raiseError(ErrBusy, QStringLiteral("A selection is being saved already."));
        return;
    }
    const QString out = m_outputFile;
    const QFileInfo outInfo(out);
    if (out.isEmpty() || outInfo.isDir()) {
        raiseError(ErrOutputPath, QStringLiteral("No file to save the selection to was given."));
        return;
    }
    if (outInfo.exists() && !outInfo.isFile()) {
        raiseError(ErrOutputPath, QStringLiteral("The selection cannot be saved as \"%1\": it is not a regular file.")
                                      .arg(out));
        return;
    }
    if (!outInfo.absoluteDir().exists()) {
        raiseError(ErrOutputPath, QStringLiteral("The folder \"%1\" does not exist.").arg(outInfo.absolutePath()));
        return;
    }
    const QString inCanon = QFileInfo(m_inputFile).canonicalFilePath();
    if (outInfo.absoluteFilePath() == QFileInfo(m_inputFile).absoluteFilePath() ||
        (outInfo.exists() && outInfo.canonicalFilePath() == inCanon)) {
        raiseError(ErrOutputIsInput, QStringLiteral("The selection cannot be saved over the file it is taken from."));
        return;
    }
    if (m_rangeStartMs < 0 || m_rangeLengthMs < 0) {
        raiseError(ErrRange, QStringLiteral("No range to save was given."));
        return;
    }

    if (m_saveThread.joinable())
        m_saveThread.join();
    auto save = std::make_shared<SaveState>();
    m_save = save;
    m_saving = true;
    const quint64 gen = ++m_saveGeneration;
    const QString in = m_inputFile;
    const long startMs = m_rangeStartMs, lengthMs = m_rangeLengthMs;
    const qint64 firstFrame = m_rangeFirstFrame, endFrame = m_rangeEndFrame;
    m_saveThread = std::thread([this, save, gen, in, out, startMs, lengthMs, firstFrame, endFrame] {
        auto progress = [this, gen](int percent) {
            postTo(this, [this, gen, percent] {
                if (!m_released && gen == m_saveGeneration && m_saving)
                    emit EditorProgress(percent);
            });
        };
        auto finish = [&](int result, int code = 0, const QString& text = QString()) {
            save->result = SaveState::Result(result);
            save->code = code;
            save->text = text;
            postTo(this, [this, gen] { saveFinished(gen); });
        };
        // The input's header is read here, off the window's thread.
        WavFormat f;
        QString headerText;
        if (const int rc = ReadWavHeader(in, &f, &headerText))
            return finish(SaveState::Error, rc, headerText);
        // Each end maps to frames by rounding once, unless the frames
        // themselves came with the range and agree with it.
        qint64 first = (qint64(startMs) * f.sampleRate + 500) / 1000;
        qint64 count = (qint64(lengthMs) * f.sampleRate + 500) / 1000;
        auto nearMs = [&f](qint64 frame, qint64 ms) {
            return std::llabs(frame * 1000 - ms * f.sampleRate) <= f.sampleRate;
        };
        if (firstFrame >= 0 && endFrame >= firstFrame && nearMs(firstFrame, startMs) &&
            nearMs(endFrame, qint64(startMs) + lengthMs)) {
            first = firstFrame;
            count = endFrame - firstFrame;
        }
        if (count <= 0)
            return finish(SaveState::Error, ErrRange, QStringLiteral("The selection is empty: there is nothing to save."));
        if (first >= f.frames)
            return finish(SaveState::Error, ErrRange, QStringLiteral("The selection starts after the end of the file."));
        count = std::min(count, f.frames - first);
        QFile src;
        if (OpenRegularFile(in, &src) || !src.seek(f.dataOffset + first * f.blockAlign))
            return finish(SaveState::Error, ErrSourceUnreadable, QStringLiteral("The file \"%1\" cannot be read.").arg(in));
        // Written beside the target and renamed over it only when whole.
        QSaveFile dst(out);
        const QString writeError = QStringLiteral("The file \"%1\" cannot be written.").arg(out);
        const int64_t bytes = count * f.blockAlign;
        const QByteArray header = MakeWavHeader(f, bytes);
        if (!dst.open(QIODevice::WriteOnly) || dst.write(header) != header.size())
            return finish(SaveState::Error, ErrWrite, writeError);
        std::vector<char> buf(size_t(std::max<int64_t>(f.blockAlign, kChunkBytes / f.blockAlign * f.blockAlign)));
        int64_t left = bytes;
        int lastPercent = -1;
        while (left > 0) {
            if (save->abort) {
                dst.cancelWriting();
                return finish(SaveState::Aborted);
            }
            const int64_t n = std::min<int64_t>(left, int64_t(buf.size()));
            if (src.read(buf.data(), n) != n)
                return finish(SaveState::Error, ErrSourceUnreadable,
                              QStringLiteral("The file \"%1\" could not be read to the end of the selection.").arg(in));
            if (dst.write(buf.data(), n) != n)
                return finish(SaveState::Error, ErrWrite, writeError);
            left -= n;
            const int percent = int((bytes - left) * 100 / bytes);
            if (percent != lastPercent) {
                progress(lastPercent = percent);
                runProgressHook(percent, -1, save->abort);
            }
        }
        if (bytes & 1)
            dst.write("\0", 1);
        if (save->abort) {
            dst.cancelWriting();
            return finish(SaveState::Aborted);
        }
        if (!dst.commit())
            return finish(SaveState::Error, ErrWrite, writeError);
        finish(SaveState::Done);
    });
}

void cAudioEditor::saveFinished(quint64 generation)
{
    if (m_released || generation != m_saveGeneration || !m_saving)
        return;
    if (m_saveThread.joinable())
        m_saveThread.join();
    std::shared_ptr<SaveState> save = std::move(m_save);
    m_saving = false;
    switch (save->result) {
    case SaveState::Done:
        emit EditorSaveDone();
        break;
    case SaveState::Aborted:
        emit EditorAborted();
        break;
    case SaveState::Error:
        emit EditorError(save->code, save->text);
        break;
    }
}

void cAudioEditor::stopSave()
{
    ++m_saveGeneration;
    if (m_save)
        m_save->abort = true;
    if (m_saveThread.joinable())
        m_saveThread.join();
    m_save.reset();
    m_saving = false;
}

// --- playing ---

long cAudioEditor::StartPlayback()
{
    if (m_released)
        return ErrNoFileLoaded;
    if (m_path.isEmpty() || m_format.frames <= 0) {
        raiseError(ErrNoFileLoaded, QStringLiteral("No WAV file is loaded, so there is nothing to play."));
        return ErrNoFileLoaded;
    }
    // Asked again while the file still opens (from a timer of the window).
    if (m_playOpening)
        return ErrNoFileLoaded;
    if (m_play)
        finishPlayback(false);

    // The file is the user's: it is opened on a worker while the window goes
    // on painting (its clicks wait), so a stalled mount never freezes it.
    auto play = std::make_shared<PlayState>();
    auto opened = std::make_shared<std::atomic<int>>(-1);
    const QString path = m_path;
    const quint64 gen = m_scanGeneration;
    QPointer<cAudioEditor> self(this);
    m_playOpening = true;
    const bool answered = kvsound::runWithDeadline(
        [play, opened, path] {
            kvaudio::runSourceOpenHook();
            *opened = OpenRegularFile(path, &play->file);
        },
        kPlayOpenTimeoutMs, true, nullptr);
    if (!self)
        return ErrNoFileLoaded;
    m_playOpening = false;
    // Released, or another file loaded meanwhile: this one no longer plays.
    if (m_released || gen != m_scanGeneration)
        return ErrNoFileLoaded;
    if (!answered || *opened != 0) {
        raiseError(ErrSourceUnreadable, QStringLiteral("The file \"%1\" cannot be read.").arg(path));
        return ErrSourceUnreadable;
    }
    play->format = m_format;
    const bool sel = m_selEnd > m_selStart;
    play->first = sel ? m_selStart : 0;
    play->total = (sel ? m_selEnd : m_format.frames) - play->first;
    m_paused = false;

    // The sound system converts to what the device takes.
    kvsound::StreamFormat format;
    format.rate = m_format.sampleRate;
    format.channels = m_format.channels;
    format.type = kvsound::SampleType::F32;
    QString error;
    m_stream->setPaused(false);
    if (!m_stream->startPlayback(
            QString(), format, kPlayBufferMs, [play](void* dst, size_t bytes) { return play->fill(dst, bytes); },
            &error)) {
        raiseError(ErrPlayDevice, QStringLiteral("The audio output cannot be opened: %1").arg(error));
        return ErrPlayDevice;
    }
    m_play = play;
    m_playFrame = play->first;
    m_playTimer->start();
    update();
    return 0;
}

void cAudioEditor::showPlayCursor()
{
    if (!m_play)
        return;
    m_playFrame = m_play->first + std::min(m_play->total, m_stream->position());
    update();
}

void cAudioEditor::finishPlayback(bool aborted)
{
    if (!m_play)
        return;
    m_playTimer->stop();
    // After the stop the sound thread no longer reads the file.
    m_stream->stop();
    m_play.reset();
    m_playFrame = -1;
    m_paused = false;
    update();
    postTo(this, [this, aborted] {
        if (m_released)
            return;
        emit EditorPlayEnded();
        if (aborted)
            emit EditorAborted();
    });
}

void cAudioEditor::PausePlayback()
{
    if (!m_play || m_paused)
        return;
    m_paused = true;
    m_stream->setPaused(true);
}

void cAudioEditor::ResumePlayback()
{
    if (!m_play || !m_paused)
        return;
    m_paused = false;
    m_stream->setPaused(false);
}

bool cAudioEditor::IsPlaybackPaused() const
{
    return m_play && m_paused;
}

void cAudioEditor::StopPlayback()
{
    finishPlayback(false);
}

// --- ending ---

void cAudioEditor::AbortJob()
{
    if (m_released)
        return;
    if (m_saving && m_save)
        m_save->abort = true;
    if (m_play)
        finishPlayback(true);
    if (m_scan)
        m_scan->abort = true;
}

void cAudioEditor::ReleaseComponent()
{
    if (m_released)
        return;
    m_released = true;
    if (m_play) {
        m_playTimer->stop();
        m_stream->stop();
        m_play.reset();
    }
    stopSave();
    stopScan();
}
