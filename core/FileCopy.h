#pragma once
// Copying one file in chunks while the window stays responsive, and the small
// self-closing window that shows such a copy.
#include <QDialog>
#include <QPointer>
#include <QString>
#include <functional>

class QLabel;
class QPushButton;
class QTimer;
class XP_ProgressBar;

// True when both paths name one existing file: the same canonical path, or
// the same inode (hard links, bind mounts).
bool SameFile(const QString& a, const QString& b);

// Copies a regular file whole for the program's own working files: the
// kernel moves the bytes (no buffer in the program, no sync to the disk), so
// it costs what a shell's copy costs; call it off the window's thread. The
// copy is written under a hidden name beside the destination, which it
// replaces only once complete. `step` (may be empty) is called after each
// step of at most 8 MB with the bytes copied and the file's size; false from
// it stops the copy. A stopped or failed copy leaves the destination as it
// was and nothing beside it, and returns false with the reason in *why. A
// source that changes while it is copied fails the copy.
bool CopyWholeFile(const QString& source, const QString& destination,
                   const std::function<bool(qint64 copied, qint64 size)>& step, QString* why);

class FileCopyClass {
public:
    // Seconds the last successful Copy took.
    long SecondsTaken() const { return m_secondsTaken; }
    void setSecondsTaken(long vData) { m_secondsTaken = vData; }
    // True after a Copy that completed.
    bool Sucessfull() const { return m_sucessfull; }
    void setSucessfull(bool vData) { m_sucessfull = vData; }
    // Copies SourceFile to Destination. The copy goes to a temporary file
    // beside the destination, which replaces the destination only when the
    // whole source was written; on any failure the destination is untouched
    // and nothing is left behind. A destination that is the source itself is
    // refused. Yields to the event loop once per chunk.
    void Copy(const QString& SourceFile, const QString& Destination);
    // Progress of the running Copy, 0 to 100; it grows with each write.
    int PercentREady() const { return m_percentReady; }
    void setPercentREady(int vData) { m_percentReady = vData; }
    // Chunk size in bytes; 0 means 32000.
    long CacheSize() const { return m_cacheSize; }
    void setCacheSize(long vData) { m_cacheSize = vData; }

    // Why the last Copy failed; empty after a successful one.
    QString ErrorText() const { return m_errorText; }

private:
    bool fail(const QString& text);

    long m_secondsTaken = 0;
    bool m_sucessfull = false;
    int m_percentReady = 0;
    long m_cacheSize = 0;
    QString m_errorText;
};

// "File Copy": the caller loads it, sets g_sSourceFile and g_sDestFile and the
// captions of lblFrom and lblTo, switches tmrStart on and shows it modally.
// The copy starts once the window shows; the window closes itself after a
// successful copy. A failure is reported and the window stays open.
class FrmFileCopy : public QDialog {
    Q_OBJECT
public:
    explicit FrmFileCopy(QWidget* parent = nullptr);
    ~FrmFileCopy() override;

    QString g_sSourceFile;
    QString g_sDestFile;

    void FileCopyEx(const QString& sSource, const QString& sDest);

    QWidget* picTitle = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblFrom = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* lblTo = nullptr;
    QLabel* lblState = nullptr;
    XP_ProgressBar* ProgressBar1 = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdExit = nullptr;
    QTimer* tmrStart = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* tmrEnd = nullptr;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();

    FileCopyClass* m_copy = nullptr;
};

// The single file copy window, created on first use and destroyed when it closes.
FrmFileCopy* g_frmFileCopy();
bool g_frmFileCopyLoaded();
