#pragma once
// Shows one WAV file as its waveform, keeps a selection made with the mouse,
// zooms to it, plays it and saves a range of the file to a new WAV.
//
// The waveform is drawn from peak summaries (minimum and maximum per block of
// frames) that a worker computes when a file is loaded; the samples
// themselves are never held, only read back for a deeply zoomed view.
// Saving runs on its own worker and writes a temporary file beside the
// target, renamed over it at the end. Events are queued; each SaveRange ends
// with exactly one of EditorSaveDone, EditorAborted or EditorError.
#include <QColor>
#include <QString>
#include <QWidget>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "components/audio/WavFile.h"

namespace kvsound {
class Stream;
}
class QFile;
class QIODevice;
class QTimer;

class cAudioEditor : public QWidget {
    Q_OBJECT
public:
    explicit cAudioEditor(QWidget* parent = nullptr);
    ~cAudioEditor() override;

    // Shows path (the previous file and its selection go). EditorFileInfo,
    // or EditorError when it is no WAV the editor reads; the waveform
    // follows once its summaries are computed (WaveformReady).
    void LoadWaveFile(const QString& path);

    void SetInputFile(const QString& path) { m_inputFile = path; }
    QString InputFile() const { return m_inputFile; }
    void setOutputFile(const QString& path) { m_outputFile = path; }
    QString OutputFile() const { return m_outputFile; }
    // In milliseconds; negative while unset. Each maps to frames by rounding once.
    void setRangeStart(long ms) { m_rangeStartMs = ms; }
    long RangeStart() const { return m_rangeStartMs; }
    void setRangeLength(long ms) { m_rangeLengthMs = ms; }
    long RangeLength() const { return m_rangeLengthMs; }
    // The same range as frames [first, end), as the selection shows them;
    // negative while unset. Used in place of the milliseconds when it lies
    // within a millisecond of them, so that a save holds exactly the frames
    // shown rather than the ones the rounded milliseconds give back.
    void setRangeFrames(qint64 first, qint64 end)
    {
        m_rangeFirstFrame = first;
        m_rangeEndFrame = end;
    }
    qint64 RangeFirstFrame() const { return m_rangeFirstFrame; }
    qint64 RangeEndFrame() const { return m_rangeEndFrame; }
    // Copies the range of the input file into the output file, sample for
    // sample with the input's format; returns at once.
    void SaveRange();

    // Plays the selection, or the whole file when nothing is selected.
    // 0 when playing has started; otherwise an error code, also raised as EditorError.
    long StartPlayback();
    void PausePlayback();
    void ResumePlayback();
    bool IsPlaybackPaused() const;
    bool IsPlaying() const { return m_play != nullptr; }
    void StopPlayback();

    void ZoomSelection();
    void ZoomRestore();

    // Stops the save, the playing and the reading of a file that run; each
    // stopped one ends with EditorAborted.
    void AbortJob();
    // Stops everything and waits for the workers; no events follow.
    void ReleaseComponent();

    // The ruler, time texts and play cursor; the centre lines; the wave and
    // selection.
    void setEditorTextColor(long bgr);
    void setEditorBackColor(long bgr);
    void setEditorAccentColor(long bgr);

    // State a caller may read.
    bool HasFile() const { return m_format.frames > 0 || !m_path.isEmpty(); }
    const kvaudio::WavFormat& Format() const { return m_format; }
    bool IsWaveformReady() const { return m_peaksReady; }
    bool Saving() const { return m_saving; }
    qint64 SelectionStart() const { return m_selStart; }
    qint64 SelectionEnd() const { return m_selEnd; }
    qint64 ViewStart() const { return m_viewStart; }
    qint64 ViewEnd() const { return m_viewEnd; }
    // The frame the play cursor stands on, -1 while nothing plays.
    qint64 PlayCursor() const { return m_playFrame; }
    // Selects frames [start, end) as a mouse drag would; raises SelectionChanged.
    void SelectFrames(qint64 start, qint64 end);

signals:
    void EditorFileInfo(long sampleRate, long bitsPerSample, long channels, long lengthSeconds, long samples);
    void SelectionChanged(long startSample, long endSample, long startMs, long endMs);
    void EditorProgress(long percent);
    void EditorSaveDone();
    void EditorAborted();
    void EditorError(long code, const QString& text);
    void EditorPlayEnded();
    // The waveform of the loaded file is complete and drawn from now on.
    void WaveformReady();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

public:
    // Min/max per block and channel: [block][channel][min, max].
    struct Peaks {
        int channels = 0;
        int64_t blockFrames = 0;
        std::vector<float> values;
        int64_t blocks() const { return channels ? int64_t(values.size()) / (2 * channels) : 0; }
    };

private:
    struct ScanState;
    struct SaveState;

    void raiseError(long code, const QString& text);
    void stopScan();
    void scanFinished(quint64 generation, bool aborted, int code, const QString& text);
    void stopSave();
    void saveFinished(quint64 generation);
    void showPlayCursor();
    void finishPlayback(bool aborted);
    qint64 frameAt(double x) const;
    double xOfFrame(qint64 frame) const;
    void setView(qint64 start, qint64 end);
    void columnRange(int column, int width, qint64* f0, qint64* f1) const;
    void ensureRawCache();
    long msOfFrame(qint64 frame) const;
    qint64 frameOfMs(long ms) const;

    QString m_path;
    kvaudio::WavFormat m_format;
    Peaks m_fine, m_coarse;
    bool m_peaksReady = false;
    // Samples of the visible frames while the view is too deep for the summaries.
    // They are read on a worker (the file is the user's, painting must not
    // wait for it); one read at a time, the summaries are drawn meanwhile.
    std::vector<float> m_raw;
    qint64 m_rawStart = -1, m_rawEnd = -1;
    bool m_rawReady = false;
    bool m_rawReading = false;

    qint64 m_viewStart = 0, m_viewEnd = 0;
    qint64 m_selStart = 0, m_selEnd = 0;
    qint64 m_anchor = -1;

    QColor m_textColor{Qt::black}, m_backColor{Qt::black}, m_accentColor{Qt::black};

    // Loading.
    std::shared_ptr<ScanState> m_scan;
    std::thread m_scanThread;
    quint64 m_scanGeneration = 0;

    // Saving.
    QString m_inputFile, m_outputFile;
    long m_rangeStartMs = -1, m_rangeLengthMs = -1;
    qint64 m_rangeFirstFrame = -1, m_rangeEndFrame = -1;
    std::shared_ptr<SaveState> m_save;
    std::thread m_saveThread;
    quint64 m_saveGeneration = 0;
    bool m_saving = false;

    // Playing.
    struct PlayState;
    kvsound::Stream* m_stream = nullptr;
    std::shared_ptr<PlayState> m_play;
    QTimer* m_playTimer = nullptr; // moves the play cursor
    qint64 m_playFrame = -1;
    bool m_paused = false;
    bool m_playOpening = false;
    bool m_released = false;
};
