// The player panel: plays one item of the shown list with its graphs, the
// position slider, the bold playing row and the move to the next marked item.
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <cmath>

#include "components/audio/AudioFileProbe.h"
#include "components/audio/cAudioGraph.h"
#include "components/controls/cGrid.h"
#include "components/audio/cPlayer.h"
#include "components/controls/cSlider.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cToolbar.h"
#include "core/TwipsGeometry.h"
#include "lists/ItemRow.h"
#include "mainwindow/frmMain.h"
#include "platform/MessageBox.h"
#include "settings/Options.h"

namespace {

const QString kPlay = QStringLiteral("Play");
const QString kPause = QStringLiteral("Pause");
const QString kStop = QStringLiteral("Stop");
const QString kZeroTime = QStringLiteral("0:00:00");

// Whole seconds as the classic conversion to a Long rounds them (halves to even).
long wholeSeconds(double seconds) { return long(std::nearbyint(seconds)); }

// A closed player or a start while another file opens is no fault of the device.
bool isDeviceFault(long code) { return code >= cPlayer::PlayNoDevice && code <= cPlayer::PlayDeviceNoAnswer; }

} // namespace

void FrmMain::CreatePlayerPanel()
{
    auto named = [](auto* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
    lblCurrentPositionSec = named(new QLabel(kZeroTime, picPlayer), "lblCurrentPositionSec");
    twips::setGeometry(lblCurrentPositionSec, 1650, 60, 800, 240);
    lbTotalLengthSec = named(new QLabel(kZeroTime, picPlayer), "lbTotalLengthSec");
    twips::setGeometry(lbTotalLengthSec, 1650, 300, 800, 240);

    cAudioGraphAmp = named(new cAudioGraph(cAudioGraph::AmplitudeGraph, picPlayer), "cAudioGraphAmp");
    twips::setGeometry(cAudioGraphAmp, 2450, 60, 450, 480);
    cAudioGraphFreq = named(new cAudioGraph(cAudioGraph::FrequencyGraph, picPlayer), "cAudioGraphFreq");
    twips::setGeometry(cAudioGraphFreq, 2945, 60, 450, 480);

    cPlayer1 = named(new cPlayer(this), "cPlayer1");

    tmrPlayer = named(new QTimer(this), "tmrPlayer");
    tmrPlayer->setInterval(200);
    tmSlider = named(new QTimer(this), "tmSlider");
    tmSlider->setInterval(200);
    tmrAudioData = named(new QTimer(this), "tmrAudioData");
    tmrAudioData->setInterval(100);

    connect(tlbrPlayButtons, &cToolbar::ButtonClick, this, &FrmMain::tlbrPlayButtons_ButtonClick);
    connect(cPlayer1, &cPlayer::PlayEnded, this, &FrmMain::cPlayer1_PlayEnded);
    connect(cSlider1, &cSlider::SlideStart, this, &FrmMain::cSlider1_SlideStart);
    connect(cSlider1, &cSlider::SlideEnd, this, &FrmMain::cSlider1_SlideEnd);
    connect(tmrPlayer, &QTimer::timeout, this, &FrmMain::tmrPlayer_Timer);
    connect(tmSlider, &QTimer::timeout, this, &FrmMain::tmSlider_Timer);
    connect(tmrAudioData, &QTimer::timeout, this, &FrmMain::tmrAudioData_Timer);

    // Every command of the router first stops the item that plays.
    StopPlayingItem = [this] {
        if (cPlayer1->IsPlaying())
            cPlayer1->StopPlayback();
    };
}

void FrmMain::StartPlay()
{
    if (cGrid1->RowCount() == 0)
        return;
    if (cPlayer1->IsPlaybackPaused()) {
        cPlayer1->ResumePlayback();
        tlbrPlayButtons->setButtonChecked(kPause, false);
        return;
    }
    if (cPlayer1->IsPlaying() && !tmrPlayer->isActive()) {
        // Started again from the beginning once the stop has gone through.
        cPlayer1->StopPlayback();
        tmrPlayer->start();
        return;
    }

    const int row = cGrid1->SelectedRow();
    const QString path = cGrid1->CellText(row, cGrid1->ColumnIndex(COL_FILE));
    const QFileInfo file(path);
    if (!file.isFile()) {
        // A pipe or a folder in the item's place is there, but is no file.
        MsgBox(path + (file.exists() ? " is not a regular file." : " is not existed."), vbInformation, QString(),
               this);
        cTreeView1_NodeClick(cTreeView1->SelectedNode());
        return;
    }

    // The window runs its timers while the file opens; it may even go.
    QPointer<FrmMain> self(this);
    const long result = cPlayer1->PlayFile(path, g_lDeviceIndex);
    if (!self)
        return;
    if (result != 0) {
        // A file the player refuses changes nothing; a missing or busy sound
        // device is worth telling, or "Play" would just seem dead.
        if (isDeviceFault(result))
            MsgBox(cPlayer1->GetErrorText(result), vbExclamation, QString(), this);
        return;
    }

    cStatusBar1->setPanelText(QStringLiteral("Main"), QStringLiteral("Playing"));
    cStatusBar1->setPanelIcon(QStringLiteral("Main"), 38);
    const long length = wholeSeconds(cPlayer1->DurationSeconds());
    cSlider1->setSliderMax(length < 1 ? 1 : int(length));
    m_cPlayingNode = cTreeView1->SelectedNode();
    if (m_cPlayingNode)
        m_cPlayingNode.setNodeBold(true);
    lbTotalLengthSec->setText(cPlayer::SecondsToTime(length));
    tmSlider->start();
    tmrAudioData->start();
    if (row <= cGrid1->RowCount() && cGrid1->CellText(row, cGrid1->ColumnIndex(COL_FILE)) == path)
        SetRowBold(row, true, cGrid1);
}

void FrmMain::StopPlay()
{
    tlbrPlayButtons->setButtonChecked(kPause, false);
    if (!cPlayer1->IsPlaying())
        return;
    tmrAudioData->stop();
    cPlayer1->StopPlayback();
    cAudioGraphFreq->ClearGraph();
    cAudioGraphAmp->ClearGraph();
    if (m_cPlayingNode)
        m_cPlayingNode.setNodeBold(false);
    m_cPlayingNode = cTreeNode();
    tmrAudioData->stop();
    tmSlider->stop();
    // The end event that follows resets the status, the slider, the label and the bold row.
}

void FrmMain::tlbrPlayButtons_ButtonClick(int index)
{
    const QString key = tlbrPlayButtons->ButtonKey(index);
    if (key == kPlay) {
        StartPlay();
    } else if (key == kPause) {
        // The toolbar has toggled the check already.
        if (cPlayer1->IsPlaying()) {
            if (tlbrPlayButtons->ButtonChecked(kPause))
                cPlayer1->PausePlayback();
            else
                cPlayer1->ResumePlayback();
        } else {
            tlbrPlayButtons->setButtonChecked(kPause, false);
        }
    } else if (key == kStop) {
        PressPlayerStop();
    }
}

void FrmMain::PressPlayerStop()
{
    if (cPlayer1->IsPlaybackPaused())
        cPlayer1->ResumePlayback();
    if (cPlayer1->IsPlaying())
        StopPlay();
}

void FrmMain::cPlayer1_PlayEnded()
{
    // Playing cut short by the sound system is told once the panel is reset,
    // as a device that fails at the start is: a silent "Ready." would hide it.
    if (cPlayer1->PlayEndError() != 0) {
        const QString text = cPlayer1->GetErrorText(cPlayer1->PlayEndError());
        QMetaObject::invokeMethod(
            this, [this, text] { MsgBox(text, vbExclamation, QString(), this); }, Qt::QueuedConnection);
    }
    tmrAudioData->stop();
    tmSlider->stop();
    cSlider1->setSliderValue(0);
    cAudioGraphFreq->ClearGraph();
    cAudioGraphAmp->ClearGraph();
    lblCurrentPositionSec->setText(kZeroTime);
    cStatusBar1->setPanelText(QStringLiteral("Main"), QStringLiteral("Ready."));
    cStatusBar1->setPanelIcon(QStringLiteral("Main"), 47);
    SetRowUnBold(cGrid1);
    // The selection may have moved while the item played.
    LoadItemToPlayer();
    if (!m_cPlayingNode)
        return;
    m_cPlayingNode.setNodeBold(false);

    // Only an item that played to its end moves the selection on; a stop
    // asked for by the user or by a command leaves it where it is.
    if (!g_bGoToNextItem || !cPlayer1->PlayEndedAtEndOfFile())
        return;
    if (tmrPlayer->isActive())
        return;
    const int selected = cGrid1->SelectedRow();
    const int rows = cGrid1->RowCount();
    if (selected >= rows)
        return;
    const int inc = cGrid1->ColumnIndex(COL_INC);
    for (int r = selected + 1; r <= rows; ++r) {
        if (cGrid1->CellIcon(r, inc) == kIconMarked) {
            cGrid1->setSelectedRow(r);
            return;
        }
    }
}

void FrmMain::tmrPlayer_Timer()
{
    tmrPlayer->stop();
    StartPlay();
}

void FrmMain::tmSlider_Timer()
{
    const long position = wholeSeconds(cPlayer1->PlayPosition());
    cSlider1->setSliderValue(int(position));
    lblCurrentPositionSec->setText(cPlayer::SecondsToTime(position));
}

void FrmMain::tmrAudioData_Timer()
{
    if (!cPlayer1->IsPlaying())
        return;
    for (cAudioGraph* graph : {cAudioGraphAmp, cAudioGraphFreq}) {
        graph->DrawData(cPlayer1->AudioData());
        graph->RefreshGraph();
    }
}

void FrmMain::cSlider1_SlideStart()
{
    if (cPlayer1->IsPlaying())
        tmSlider->stop();
}

void FrmMain::cSlider1_SlideEnd()
{
    if (!cPlayer1->IsPlaying())
        return;
    cPlayer1->Seek(cSlider1->SliderValue());
    tmSlider->start();
}

void FrmMain::LoadItemToPlayer()
{
    // While nothing plays the labels always show the selected row, so the row
    // and the player never disagree (an empty list or a row without a readable
    // file included). The row's own time shows until the file has been read,
    // away from this thread.
    if (!cPlayer1 || cPlayer1->IsPlaying())
        return;
    long length = 0;
    const int row = cGrid1->SelectedRow();
    if (cGrid1->RowCount() > 0 && row >= 1) {
        const QString path = cGrid1->CellText(row, cGrid1->ColumnIndex(COL_FILE));
        length = long(TimeCellSeconds(cGrid1->CellText(row, cGrid1->ColumnIndex(COL_TIME))));
        AudioFileProbe* probe = path.isEmpty() ? nullptr : ItemFileProbe();
        if (probe) {
            AudioFileFacts facts;
            if (probe->cached(path, &facts) && facts.ok())
                length = wholeSeconds(facts.durationMs / 1000.0);
            probe->request(path);
        }
    }
    lbTotalLengthSec->setText(cPlayer::SecondsToTime(length));
    lblCurrentPositionSec->setText(kZeroTime);
}

void FrmMain::ItemFileFactsRead(const QString& path, const AudioFileFacts& facts)
{
    if (!cPlayer1 || cPlayer1->IsPlaying() || cGrid1->RowCount() == 0)
        return;
    const int row = cGrid1->SelectedRow();
    if (row < 1 || cGrid1->CellText(row, cGrid1->ColumnIndex(COL_FILE)) != path)
        return;
    const long length = facts.ok() ? wholeSeconds(facts.durationMs / 1000.0)
                                   : long(TimeCellSeconds(cGrid1->CellText(row, cGrid1->ColumnIndex(COL_TIME))));
    lbTotalLengthSec->setText(cPlayer::SecondsToTime(length));
    lblCurrentPositionSec->setText(kZeroTime);
}

bool FrmMain::IsPlayerPlaying() { return cPlayer1 && cPlayer1->IsPlaying(); }
