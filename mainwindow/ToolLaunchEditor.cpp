// "Audio Analyser": opens the selected row's file in the audio editor. A
// file that is not a WAV is first converted into the program folder's
// "tmpeditor.wav" by the one-file conversion window.
#include <QLineEdit>
#include <QTimer>

#include "audiotools/frmAudioEditor.h"
#include "audiotools/frmAudioEditorProc.h"
#include "components/audio/cAudioEditor.h"
#include "components/controls/cGrid.h"
#include "components/controls/cTreeView.h"
#include "core/PathNames.h"
#include "lists/ItemRow.h"
#include "lists/ListTree.h"
#include "mainwindow/frmMain.h"
#include "platform/ProgramDir.h"

bool FrmMain::CmdAudioAnalyser(int)
{
    setCursor(Qt::WaitCursor);
    FrmAudioEditor* editor = g_frmAudioEditor();
    g_bAbortedAudioEditor = false;
    const int row = cGrid1->SelectedRow();
    QString path = cGrid1->CellText(row, cGrid1->ColumnIndex(COL_FILE));
    if (GetLastExtension(path).toUpper() != QLatin1String("WAV")) {
        FrmAudioEditorProc* proc = g_frmAudioEditorProc();
        const QString work = platform::programDir() + QStringLiteral("/tmpeditor.wav");
        proc->ConvertFile(path, work);
        unsetCursor();
        proc->exec(); // closes itself when done or aborted
        path = work;
    }
    // An aborted or failed conversion opens nothing; the editor stays loaded
    // for the next time.
    if (!g_bAbortedAudioEditor) {
        editor->txtWavFile->setText(path);
        editor->cAudioEditor1->LoadWaveFile(path);
        editor->setWindowTitle(cGrid1->CellText(row, cGrid1->ColumnIndex(COL_ITEM_NAME)));
        unsetCursor();
        if (tmrCDs)
            tmrCDs->stop();
        editor->exec();
        if (tmrCDs && IsCDNode(cTreeView1->SelectedNode().NodeKey()))
            tmrCDs->start();
    }
    unsetCursor();
    return true;
}
