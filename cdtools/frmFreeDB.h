#pragma once
// "FreeDB": names the tracks of the CD the main window shows from a CD
// database server. The lookup runs on the window's cFreeDB1; its results go
// into the main grid's rows (item name, artist, album) and the CD node's name.
#include <QDialog>

class QLabel;
class QPushButton;
class XP_ProgressBar;
class cFreeDB;

class FrmFreeDB : public QDialog {
    Q_OBJECT
public:
    explicit FrmFreeDB(QWidget* parent = nullptr);
    ~FrmFreeDB() override;

    // Runs once, right after construction (the accessor calls it).
    void Form_Load();
    // Starts the lookup of the selected CD node's disc. False when there is no
    // network: the user has been told and the window has unloaded. A server
    // that does not answer ends the lookup with an error naming it.
    bool GetFreeDB();
    // Cancels the lookup and closes the window for good.
    void Unload();
    bool Unloaded() const { return m_bUnloaded; }

    // The component's events.
    void cFreeDB1_LookupState(const QString& text);
    void cFreeDB1_ArtistFound(const QString& artist);
    void cFreeDB1_AlbumFound(const QString& album);
    void cFreeDB1_TrackFound(const QString& artist, int track, const QString& title);
    void cFreeDB1_LookupEnded();
    void cFreeDB1_LookupError(int code, const QString& text);
    void cmdAbort_Click();

    QWidget* picTitle = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblCurrentTrack = nullptr;
    QLabel* lblArtist = nullptr;
    QLabel* lblAlbumName = nullptr;
    QPushButton* cmdAbort = nullptr;
    XP_ProgressBar* prgCurrnet = nullptr;
    cFreeDB* cFreeDB1 = nullptr;

    // The server the lookup asks: the stored value ("CDDB", "Server", as
    // "host:port") with KELVANE_CDDB_SERVER over it.
    static QString ServerSettingSection() { return QStringLiteral("CDDB"); }

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_bUnloaded = false;
};

// The lookup window, created and loaded on first use; a hidden window stays
// loaded, an unloaded one is built afresh.
FrmFreeDB* g_frmFreeDB();
bool g_frmFreeDBLoaded();
