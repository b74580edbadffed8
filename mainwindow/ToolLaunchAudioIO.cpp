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
    FrmWaveTTS* speech = g_frmWaveTTS();
    speech->exec(); // unloads itself when it closes
    return true;
}
