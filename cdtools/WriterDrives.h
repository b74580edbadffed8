#pragma once
// The writer half that the audio CD maker and the duplicator share: the
// writer and speed lists and the disc information of the chosen writer.
#include <QString>
#include <functional>
#include <vector>

#include "components/disc/cAudioBurner.h"

class QComboBox;
class QLabel;

// Makes a window's burner component and hands its events to the window's
// handlers of the same names.
template <class Window>
cAudioBurner* CreateAudioBurner(Window* w)
{
    auto* b = new cAudioBurner(w);
    b->setObjectName(QStringLiteral("cAudioBurner1"));
    QObject::connect(b, &cAudioBurner::TrackProgress, w, [w](int p, int t) { w->cAudioBurner1_TrackProgress(p, t); });
    QObject::connect(b, &cAudioBurner::CurrentProgress, w,
                     [w](int p, int u) { w->cAudioBurner1_CurrentProgress(p, u); });
    QObject::connect(b, &cAudioBurner::ClosingSession, w, [w] { w->cAudioBurner1_ClosingSession(); });
    QObject::connect(b, &cAudioBurner::ClosingTrack, w, [w](int u) { w->cAudioBurner1_ClosingTrack(u); });
    QObject::connect(b, &cAudioBurner::CachingTrack, w, [w] { w->cAudioBurner1_CachingTrack(); });
    QObject::connect(b, &cAudioBurner::WritingTrack, w, [w] { w->cAudioBurner1_WritingTrack(); });
    QObject::connect(b, &cAudioBurner::BurnFinished, w, [w] { w->cAudioBurner1_BurnFinished(); });
    QObject::connect(b, &cAudioBurner::BurnError, w,
                     [w](int code, const QString& text) { w->cAudioBurner1_BurnError(code, text); });
    return b;
}

// "1764 KB/s (10x)": the multiple is the whole part of KB/s ÷ 176.
QString SpeedEntryText(int kbs);
// "80 Min": DiscCapacity ÷ 153535 ÷ 60, halves to the even neighbour.
QString CapacityMinutesText(qint64 capacity);
// The drive letter of the chosen writer ("" with none).
QString WriterLetter(const QComboBox* cboDrv);
// The writers' names; the caller then selects the first entry.
void FillWriterNames(cAudioBurner* burner, QComboBox* cboDrv);
// The chosen writer's speeds, then "Max." (65535), which is selected.
void FillWriterSpeeds(cAudioBurner* burner, const QString& letter, QComboBox* cboSpeed);
// The size, capacity and state labels of the chosen writer; a blank disc
// reads "OK - Ready to be burn." in green, any other state in red, bold.
void ShowWriterDisc(cAudioBurner* burner, const QString& letter, QLabel* lblDiskSize, QLabel* lblDiskCapacity,
                    QLabel* lblState);
// The item data of the chosen speed, 65535 ("Max.") when none is chosen.
long ChosenSpeed(const QComboBox* cboSpeed);

// The next steps of a CD window's job. Each runs from the event loop, never
// inside the handler that asked for it. While the Abort question is open the
// steps wait for its answer, so no later question of the job opens over it.
class JobStepQueue {
public:
    explicit JobStepQueue(QObject* owner) : m_owner(owner) {}
    void post(std::function<void()> step);
    // Around the Abort question: steps that come due meanwhile wait, then
    // run in order once it is answered.
    void hold() { m_hold = true; }
    void release();
    // Steps that came due while held and wait for the answer.
    std::size_t waiting() const { return m_waiting.size(); }

private:
    QObject* m_owner;
    bool m_hold = false;
    std::vector<std::function<void()>> m_waiting;
};
