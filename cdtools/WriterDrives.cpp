#include "cdtools/WriterDrives.h"

#include <QComboBox>
#include <QLabel>
#include <QTimer>

#include "components/disc/cAudioBurner.h"
#include "core/CommonLook.h"
#include "toolframe/TimeLeft.h"

QString SpeedEntryText(int kbs)
{
    return QStringLiteral("%1 KB/s (%2x)").arg(kbs).arg(kbs / 176);
}

QString CapacityMinutesText(qint64 capacity)
{
    return QString::number(RoundHalfToEven(double(capacity) / 153535.0 / 60.0)) + QStringLiteral(" Min");
}

QString WriterLetter(const QComboBox* cboDrv)
{
    return cboDrv && cboDrv->currentIndex() >= 0 ? cboDrv->currentText().left(1) : QString();
}

void FillWriterNames(cAudioBurner* burner, QComboBox* cboDrv)
{
    for (int i = 1; i <= burner->DriveCount(); ++i)
        cboDrv->addItem(burner->DriveName(i));
}

void FillWriterSpeeds(cAudioBurner* burner, const QString& letter, QComboBox* cboSpeed)
{
    const int n = burner->SpeedCount(letter);
    cboSpeed->clear();
    for (int i = 1; i <= n; ++i) {
        const int s = burner->SpeedKBs(i);
        cboSpeed->addItem(SpeedEntryText(s), s);
    }
    cboSpeed->addItem(QStringLiteral("Max."), 65535);
    cboSpeed->setCurrentIndex(cboSpeed->count() - 1);
}

void ShowWriterDisc(cAudioBurner* burner, const QString& letter, QLabel* lblDiskSize, QLabel* lblDiskCapacity,
                    QLabel* lblState)
{
    lblDiskSize->setText(QString::number(burner->DiscSize(letter)));
    lblDiskCapacity->setText(CapacityMinutesText(burner->DiscCapacity(letter)));
    const QString state = burner->DiscState(letter);
    QFont f = lblState->font();
    if (state.isEmpty()) {
        lblState->setText(QStringLiteral("OK - Ready to be burn."));
        SetForeColor(lblState, 0x8000);
        f.setBold(false);
    } else {
        lblState->setText(state);
        SetForeColor(lblState, 255);
        f.setBold(true);
    }
    lblState->setFont(f);
}

long ChosenSpeed(const QComboBox* cboSpeed)
{
    bool ok = false;
    const long speed = cboSpeed->currentData().toLongLong(&ok);
    return ok ? speed : 65535;
}

void JobStepQueue::post(std::function<void()> step)
{
    QTimer::singleShot(0, m_owner, [this, step = std::move(step)] {
        if (m_hold)
            m_waiting.push_back(step);
        else
            step();
    });
}

void JobStepQueue::release()
{
    m_hold = false;
    std::vector<std::function<void()>> waiting;
    waiting.swap(m_waiting);
    for (auto& step : waiting)
        post(std::move(step));
}
