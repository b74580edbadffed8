#pragma once
// "Add Files": the one road by which audio files become item rows. The
// caller gathers the paths, loads the window, calls AddFilesToList once with
// the main grid, and saves the list itself.
#include <QDialog>
#include <QString>
#include <QStringList>

#include "core/OffThreadWait.h"

class QLabel;
class QPushButton;
class cAudioConverter;
class cGrid;
class cProgressBar;

// Set by Cancel and by closing the window; the adding loop stops at the next path.
extern bool g_bCancelAddFiles;

class FrmStat : public QDialog {
    Q_OBJECT
public:
    explicit FrmStat(QWidget* parent = nullptr);
    ~FrmStat() override;

    // Appends one marked row per usable file of Data to cGrid1, showing the
    // window (owned by frm) while it works. A file the converter cannot read
    // is reported with "Cannot add <path>". bHide is accepted and ignored: the
    // window always shows. The window unloads itself at the end.
    // The window is modal while it works, so the shown list cannot change
    // under it; should it change all the same, the add stops at once and
    // ListChangedDuringAdd() tells the caller not to save.
    void AddFilesToList(const QStringList& Data, cGrid* cGrid1, QWidget* frm, bool bHide);
    // True when the text after the path's last "." occurs in the open
    // dialog's filter text (any case).
    bool SupportAudioFile(const QString& sFileName) const;
    // The name without the first ":", "?", "<", ">", "\", "/", "*" and "|".
    QString getLegaName(const QString& sPath) const;

    void cmdCancel_Click();

    QLabel* lblStat = nullptr;
    cProgressBar* cProgressBar1 = nullptr;
    QPushButton* cmdCancel = nullptr;
    cAudioConverter* cAudioConverter1 = nullptr;

    // Set once the window has unloaded; the next load builds a new one.
    bool m_bUnloaded = false;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void Form_Load();
    void Form_Unload();
    bool m_bRunning = false;
    OffThreadWait m_read; // the file being read for the next row
};

// True when the last add stopped because another list was shown meanwhile:
// its rows then belong to no list and must not be saved.
bool ListChangedDuringAdd();
// True while an add runs; a second add is refused meanwhile.
bool AddFilesRunning();

// The window, created on first use (running its Form_Load).
FrmStat* g_frmStat();
bool g_frmStatLoaded();
// Unloads the window when it is still loaded.
void UnloadStat();
