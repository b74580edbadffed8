#pragma once
// The audio editor window: one WAV file in the editor component, its format
// and the selection in two frames, play and zoom on the toolbar, and saving
// the selection to a new WAV, optionally added to the current items list.
// The window holds no audio state: the selection a save uses is read back
// from the time captions that the component's selection event keeps.
#include <QDialog>
#include <QString>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class XP_ProgressBar;
class cAudioEditor;
class cReBar;
class cStatusBar;
class cToolbar;

class FrmAudioEditor : public QDialog {
    Q_OBJECT
public:
    explicit FrmAudioEditor(QWidget* parent = nullptr);
    ~FrmAudioEditor() override;

    void Form_Load();
    // Stops a running save and waits for the component; nothing half written stays.
    void Form_Unload();
    bool Unloaded() const { return m_bUnloaded; }

    void tlbrList_ButtonClick(int index);
    void cmdSelectPath_Click();
    // Saves the selection under a name the user picks; the path, or "" when
    // nothing was started.
    QString SaveSelection();
    void cmdAddSelection_Click();
    void cmdAbort_Click();
    void cmdExit_Click();

    void cAudioEditor1_EditorFileInfo(long sampleRate, long bits, long channels, long seconds, long samples);
    void cAudioEditor1_SelectionChanged(long startSample, long endSample, long startMs, long endMs);
    void cAudioEditor1_EditorProgress(long percent);
    void cAudioEditor1_EditorSaveDone();
    void cAudioEditor1_EditorAborted();
    void cAudioEditor1_EditorError(long code, const QString& text);
    void cAudioEditor1_EditorPlayEnded();

    // "65400 ms [0:01:05]": the milliseconds, then the whole seconds rounded half to even.
    static QString TimeCaption(long ms);

    QWidget* picTitle = nullptr;
    QLabel* lblTitle = nullptr;
    QWidget* picList = nullptr;
    cReBar* rbrList = nullptr;
    cToolbar* tlbrList = nullptr;
    cAudioEditor* cAudioEditor1 = nullptr;
    QLineEdit* txtWavFile = nullptr;
    QPushButton* cmdSelectPath = nullptr;
    QGroupBox* fraInfo = nullptr;
    QGroupBox* fraPosition = nullptr;
    QLabel* lblInfoSamples = nullptr;
    QLabel* lblInfoChannels = nullptr;
    QLabel* lblInfoBits = nullptr;
    QLabel* lblLength = nullptr;
    QLabel* lblNumOfSamples = nullptr;
    QLabel* lblSamplesStart = nullptr;
    QLabel* lblSamplesEnd = nullptr;
    QLabel* lblTimeStart = nullptr;
    QLabel* lblTimeEnd = nullptr;
    QLabel* lblSelectedTime = nullptr;
    XP_ProgressBar* prgCurrnet = nullptr;
    QLabel* lblCurrentTrack = nullptr;
    QPushButton* cmdAddSelection = nullptr;
    QPushButton* cmdAbort = nullptr;
    QPushButton* cmdExit = nullptr;
    cStatusBar* cStatusBar1 = nullptr;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void setSaveControlsEnabled(bool enabled);
    // The value labels and the caption as designed, as before any file.
    void showNoFile();
    void finishAddSelection();

    bool m_bLoaded = false;
    bool m_bUnloaded = false;
    // Set by EditorFileInfo; a save needs a loaded file.
    bool m_bFileInfo = false;
    // The saved file that "Add Selection" adds once its save is done.
    QString m_sAddPath;
};

// The window, created on first use (running its Form_Load) and destroyed when it closes.
FrmAudioEditor* g_frmAudioEditor();
bool g_frmAudioEditorLoaded();
