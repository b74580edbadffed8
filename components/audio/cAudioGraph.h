#pragma once
// A small graph of the audio being heard: either its waveform (amplitude) or
// its spectrum (frequency). DrawData takes the player's audio snapshot,
// RefreshGraph shows it, ClearGraph empties the graph.
#include <QVector>
#include <QWidget>

struct cAudioData;

class cAudioGraph : public QWidget {
    Q_OBJECT
public:
    enum GraphKind {
        AmplitudeGraph = 0,
        FrequencyGraph = 1,
    };

    explicit cAudioGraph(GraphKind kind = AmplitudeGraph, QWidget* parent = nullptr);

    GraphKind Kind() const { return m_kind; }

    void DrawData(const cAudioData& data);
    void RefreshGraph();
    void ClearGraph();
    void ReleaseComponent();

    // Colours as 0x00BBGGRR. The line colour draws the data; the text colour
    // the caption and the scale.
    void setGraphBackColor(long color);
    void setGraphTextColor(long color);
    void setGraphLineColor(long color);
    long GraphBackColor() const { return m_back; }
    long GraphTextColor() const { return m_text; }
    long GraphLineColor() const { return m_line; }

    // The frequency graph's scale: where a frequency is drawn across the
    // graph, 0 Hz at the left edge and half the sample rate at the right.
    // -1 while the graph holds nothing.
    double XForFrequency(double hz) const;
    bool HasData() const { return m_hasData; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void computeSpectrum(const QVector<float>& samples);

    GraphKind m_kind;
    long m_back = 0x000000;
    long m_text = 0xFFFFFF;
    long m_line = 0x00FF00;
    bool m_hasData = false;
    int m_sampleRate = 0;
    QVector<float> m_wave;     // amplitude: the samples, -1..1
    QVector<float> m_spectrum; // frequency: level of each bin, 0..1, from 0 Hz to half the rate
};
