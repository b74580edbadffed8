#pragma once
// The one-file conversion window: converts one file into another while its
// caller waits. The caller loads it, sets g_bConvertTo and g_sConvertToTarget
// when it wants a format other than plain WAV, calls ConvertFile and shows it
// modally; the conversion starts once the window shows, and the window
// unloads itself when it is done or aborted. After an error it stays open,
// showing the error, until the user closes it.
//
// Whenever no finished file comes out (abort, error, or the window closed
// while converting), the main window's g_bAbortedAudioEditor is set, so the
// caller does not go on with an old or missing file.
#include <QDialog>
#include <QString>

#include "toolframe/JobParameters.h"

class QLabel;
class QPushButton;
class QTimer;
class XP_ProgressBar;
class cAudioConverter;

class FrmAudioEditorProc : public QDialog {
    Q_OBJECT
public:
    explicit FrmAudioEditorProc(QWidget* parent = nullptr);
    ~FrmAudioEditorProc() override;

    void Form_Load();
    // Never refused; a conversion still running is dropped with its output.
    void Form_Unload(int& Cancel);
    bool Unloaded() const { return m_bUnloaded; }

    // True: convert to the format of g_sConvertToTarget, with the default
    // tags. False: plain WAV with the WAV settings, no tags. Every end of a
    // conversion sets it back to False.
    bool g_bConvertTo = false;
    // A destination format entry, e.g. "MP3 - MPEG-1 Audio Layer 3 (*.mp3)".
    QString g_sConvertToTarget;

    // Keeps the two paths and arms the start; the conversion begins on the
    // first tick after the window shows.
    void ConvertFile(const QString& sSource, const QString& sDest);
    // Starts the conversion.
    void ConvertX();
    void Timer1_Timer();

    // The format and settings of g_sConvertToTarget (a text naming no format sets nothing).
    void SetDestination();
    // The Options' default tag texts, macros expanded.
    void SetID3Tags();
    // "[DATE]", "[TIME]", "[TRACK_NUM]" (always 1), "[PROG_NAME]", "[PROG_VERSION]", "[YEAR]".
    QString CreateID3TagsString(const QString& sStr);

    void cmdAbort_Click();
    void cAudioConverter1_JobProgress(int percent);
    void cAudioConverter1_JobDone();
    void cAudioConverter1_JobAborted();
    void cAudioConverter1_JobError(int code, const QString& text);

    // True from the start of a conversion until its end event.
    bool Converting() const { return m_bConverting; }

    QLabel* lblCurrentTrack = nullptr;
    XP_ProgressBar* prgCurrnet = nullptr;
    QPushButton* cmdAbort = nullptr;
    QTimer* Timer1 = nullptr;
    cAudioConverter* cAudioConverter1 = nullptr;

public slots:
    // Escape closes the window like its close box.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Tells the caller that no finished file came out.
    static void ReportNoResult();

    QString m_sSourceFile;
    QString m_sDestFile;
    ComponentJobTarget<cAudioConverter> m_target;
    bool m_bConverting = false;
    bool m_bUnloaded = false;
    bool m_bLoaded = false;
};

// The window, created on first use (running its Form_Load) and destroyed when it closes.
FrmAudioEditorProc* g_frmAudioEditorProc();
bool g_frmAudioEditorProcLoaded();
