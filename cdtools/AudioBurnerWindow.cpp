#include "cdtools/AudioBurnerWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "components/disc/cAudioBurner.h"
#include "core/PathNames.h"
#include "core/TextFiles.h"
#include "lists/ItemRow.h"
#include "toolframe/JobSteps.h"

void AudioBurnerWindow::SetUpWriter(QPushButton* openTray, QPushButton* closeTray, const QString& trayBoxCaption,
                                    bool trayBoxTicked)
{
    cAudioBurner1 = CreateAudioBurner(this);
    connect(cboDrv, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            cboDrv_Click();
    });
    connect(openTray, &QPushButton::clicked, this, [this] { EjectWriterTray(); });
    if (closeTray)
        connect(closeTray, &QPushButton::clicked, this, [this] { CloseWriterTray(); });

    AddOpenCDdriveBox(trayBoxCaption, trayBoxTicked);
}

void AudioBurnerWindow::ReleaseWriter()
{
    m_trackRead.stop();
    cAudioBurner1->ResetBurner();
    cAudioBurner1->ReleaseComponent();
}

void AudioBurnerWindow::closeEvent(QCloseEvent* event)
{
    // A burn is never left behind: the user is asked to abort it first, and
    // the window closes once the burn call has returned.
    if (JobRunning()) {
        cmdAbort_Click();
        event->ignore();
        return;
    }
    ToolWindow::closeEvent(event);
}

// ---------------------------------------------------------------------------
// The writer

void AudioBurnerWindow::FillDriveList()
{
    FillWriterNames(cAudioBurner1, cboDrv);
    if (cboDrv->count() > 0) {
        cboDrv->setCurrentIndex(-1);
        cboDrv->setCurrentIndex(0);
    }
}

void AudioBurnerWindow::FillSpeedList()
{
    FillWriterSpeeds(cAudioBurner1, WriterLetter(cboDrv), cboSpeed);
}

void AudioBurnerWindow::cboDrv_Click()
{
    FillSpeedList();
    ShowWriterDisc(cAudioBurner1, WriterLetter(cboDrv), lblDiskSize, lblDiskCapacity, lblState);
}

void AudioBurnerWindow::EjectWriterTray()
{
    cAudioBurner1->EjectTray(WriterLetter(cboDrv));
}

void AudioBurnerWindow::CloseWriterTray()
{
    cAudioBurner1->CloseTray(WriterLetter(cboDrv));
}

// ---------------------------------------------------------------------------
// The burn

void AudioBurnerWindow::AddGridTrack(long lRow)
{
    const QString path = GridCell(cGrid1, lRow, COL_FILE);
    // Opened and its first block decoded away from the window's thread: a
    // file on a stalled mount or a pipe never holds the window.
    auto sectors = std::make_shared<std::optional<qint64>>();
    QPointer<AudioBurnerWindow> self(this);
    const bool read = m_trackRead.run([sectors, path] { *sectors = cAudioBurner::ReadTrack(path); });
    if (!self || !read)
        return;
    if (!*sectors || !cAudioBurner1->AddReadTrack(path, **sectors))
        AddLogLine("Cannot add " + GetFileNameFromPath(path), txtLog);
}

std::optional<long> AudioBurnerWindow::BurnAddedTracks(bool burnOption)
{
    prgTotal->setProgressMax(cAudioBurner1->TrackCount());
    cAudioBurner1->BurnOption = burnOption;
    QPointer<AudioBurnerWindow> self(this);
    const long result = cAudioBurner1->BurnToDrive(WriterLetter(cboDrv), ChosenSpeed(cboSpeed));
    if (!self)
        return std::nullopt;
    cAudioBurner1->ResetBurner();
    return result;
}

void AudioBurnerWindow::ClearProgress()
{
    for (XP_ProgressBar* bar : {prgCurrnet, prgTotal})
        bar->setProgressValue(bar->ProgressMin());
}

void AudioBurnerWindow::cmdAbort_Click()
{
    if (!JobRunning())
        return;
    // Queued steps wait while the question is open.
    QPointer<AudioBurnerWindow> self(this);
    m_steps.hold();
    AbortRowJob(this, [this] {
        m_bAbortRequested = true;
        AbortComponents();
    });
    if (self)
        m_steps.release();
}

void AudioBurnerWindow::AbortComponents()
{
    m_trackRead.stop();
    cAudioBurner1->AbortJob();
}

// ---------------------------------------------------------------------------
// The burner's events

void AudioBurnerWindow::cAudioBurner1_TrackProgress(int percent, int track)
{
    prgCurrnet->setProgressValue(percent);
    prgTotal->setProgressValue(track);
}

void AudioBurnerWindow::cAudioBurner1_CurrentProgress(int percent, int)
{
    prgCurrnet->setProgressValue(percent);
}

void AudioBurnerWindow::cAudioBurner1_ClosingTrack(int)
{
    LogStep(QStringLiteral("Closing track..."));
}

void AudioBurnerWindow::cAudioBurner1_CachingTrack()
{
    LogStep(QStringLiteral("Caching track..."));
}

void AudioBurnerWindow::cAudioBurner1_WritingTrack()
{
    LogStep(QStringLiteral("Writing track..."));
}

void AudioBurnerWindow::cAudioBurner1_BurnFinished()
{
    // The burn call has not returned yet: the end of the job follows it.
    prgTotal->setProgressValue(prgTotal->ProgressMax());
}

QString AudioBurnerWindow::BurnErrorLine(int code, const QString& text)
{
    return "Error:" + text + "(" + QString::number(code) + ")";
}

void AudioBurnerWindow::cAudioBurner1_BurnError(int code, const QString& text)
{
    LogStep(BurnErrorLine(code, text));
    m_bJobError = true;
}
