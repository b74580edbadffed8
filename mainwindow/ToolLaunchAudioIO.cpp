// The router's commands of the tools that record and speak: each opens its
// window modally, with nothing passed; the disc polling goes on meanwhile.
#include "audiotools/frmMicRecorder.h"
#include "audiotools/frmWaveTTS.h"
#include "mainwindow/frmMain.h"

bool FrmMain::CmdAudioRecorder(int)
{
    setCursor(Qt::WaitCursor);
    FrmMicRecorder* recorder = g_frmMicRecorder();
    unsetCursor();
    recorder->exec(); // unloads itself when it closes
    return true;
}

bool FrmMain::CmdTextToSpeech(int)
{
    // The hourglass stays over the main window while the speech window is open.
    setCursor(Qt::WaitCursor);
    FrmWaveTTS* speech = g_frmWaveTTS();
    speech->exec(); // unloads itself when it closes
    unsetCursor();
    return true;
}
