#include "cdtools/frmFreeDB.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "components/disc/cFreeDB.h"
#include "components/controls/cGrid.h"
#include "components/controls/cProgressBar.h"
#include "components/controls/cTreeView.h"
#include "core/CommonLook.h"
#include "core/Edition.h"
#include "core/MainWindowServices.h"
#include "core/WindowHelpers.h"
#include "lists/ItemRow.h"
#include "lists/ListTree.h"
#include "platform/MessageBox.h"
#include "platform/UserSettings.h"
#include "settings/Options.h"

namespace {

QPointer<FrmFreeDB>& windowRef()
{
    static QPointer<FrmFreeDB> p;
    return p;
}

// Reading the disc, asking the server, reading the entry, and the end: the
// bar is full only once the entry has come in whole.
constexpr int kStages = 4;

} // namespace

FrmFreeDB::FrmFreeDB(QWidget* parent) : QDialog(parent)
{
    setObjectName("g_frmFreeDB");
    setWindowTitle(QStringLiteral("FreeDB"));
    setModal(true);

    picTitle = new QWidget(this);
    picTitle->setObjectName("picTitle");
    picTitle->setAutoFillBackground(true);
    lblTitle = new QLabel(QStringLiteral("FreeDB"), picTitle);
    lblTitle->setObjectName("lblTitle");
    QFont f = lblTitle->font();
    f.setBold(true);
    lblTitle->setFont(f);
    auto* titleRow = new QHBoxLayout(picTitle);
    titleRow->addWidget(lblTitle);

    lblCurrentTrack = new QLabel(QStringLiteral("Ready."), this);
    lblCurrentTrack->setObjectName("lblCurrentTrack");
    lblCurrentTrack->setAccessibleName(QStringLiteral("Status"));
    // Empty until the lookup names them: the design caption is no album.
    lblArtist = new QLabel(QString(), this);
    lblArtist->setObjectName("lblArtist");
    lblArtist->setAccessibleName(QStringLiteral("Artist"));
    lblAlbumName = new QLabel(QString(), this);
    lblAlbumName->setObjectName("lblAlbumName");
    lblAlbumName->setAccessibleName(QStringLiteral("Album Name"));
    prgCurrnet = new XP_ProgressBar(this);
    prgCurrnet->setObjectName("prgCurrnet");
    prgCurrnet->setAccessibleName(QStringLiteral("Progress"));
    cmdAbort = new QPushButton(QStringLiteral("Abort"), this);
    cmdAbort->setObjectName("cmdAbort");
    cmdAbort->setAccessibleName(cmdAbort->text());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(picTitle);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(12, 6, 12, 0);
    body->addWidget(lblArtist);
    body->addWidget(lblAlbumName);
    body->addWidget(lblCurrentTrack);
    body->addWidget(prgCurrnet);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdAbort);
    body->addLayout(buttons);
    layout->addLayout(body);
    resize(360, 170);

    cFreeDB1 = new cFreeDB(this);
    cFreeDB1->setObjectName("cFreeDB1");
    connect(cFreeDB1, &cFreeDB::LookupState, this, [this](const QString& s) { cFreeDB1_LookupState(s); });
    connect(cFreeDB1, &cFreeDB::ArtistFound, this, [this](const QString& s) { cFreeDB1_ArtistFound(s); });
    connect(cFreeDB1, &cFreeDB::AlbumFound, this, [this](const QString& s) { cFreeDB1_AlbumFound(s); });
    connect(cFreeDB1, &cFreeDB::TrackFound, this,
            [this](const QString& a, int n, const QString& t) { cFreeDB1_TrackFound(a, n, t); });
    connect(cFreeDB1, &cFreeDB::LookupEnded, this, [this] { cFreeDB1_LookupEnded(); });
    connect(cFreeDB1, &cFreeDB::LookupError, this,
            [this](int code, const QString& text) { cFreeDB1_LookupError(code, text); });
    connect(cmdAbort, &QPushButton::clicked, this, [this] { cmdAbort_Click(); });
}

FrmFreeDB::~FrmFreeDB() = default;

void FrmFreeDB::Form_Load()
{
    SetFormIcon(this, QStringLiteral("cd_music"), true);
    SetBackColor(picTitle, g_lAppColor);
    SetForeColor(lblTitle, g_lTextColor);
    bool ok = false;
    const qint64 back = g_sViewBackColor.toLongLong(&ok);
    if (ok)
        SetBackColor(this, quint32(back));
    prgCurrnet->setBarColor(g_lAppColor);
    if (!g_sViewFormPicture.isEmpty())
        SetViewPicture(this, g_sViewFormPicture);
    if (!g_sViewTitlePicture.isEmpty())
        SetViewPicture(picTitle, g_sViewTitlePicture);
}

bool FrmFreeDB::GetFreeDB()
{
    // Nothing of an earlier disc may reach this one's rows.
    lblArtist->clear();
    lblAlbumName->clear();
    prgCurrnet->setProgressMax(kStages);
    prgCurrnet->setProgressValue(0);

    const cFreeDB::Server server =
        cFreeDB::ConfiguredServer(GetSetting(g_sAppName, ServerSettingSection(), QStringLiteral("Server")));
    cFreeDB1->setTimeout(20);
    cFreeDB1->setServerName(server.host);
    cFreeDB1->setServerPort(server.port);

    lblCurrentTrack->setText(QStringLiteral("Checking connection..."));
    if (!cFreeDB1->IsConnected()) {
        lblCurrentTrack->setText(QStringLiteral("No internet connection!"));
        MsgBox(QStringLiteral("There is no internet connection.\r\n\r\nGetting the information about the Audio CD "
                              "(using the 'FreeDB') has failed."),
               vbInformation, QString(), this);
        Unload();
        return false;
    }
    lblCurrentTrack->setText("Connecting to " + server.host + "...");

    MainWindowServices* main = mainWindow();
    const QString key = main && main->cTreeView1 ? main->cTreeView1->SelectedNode().NodeKey() : QString();
    cFreeDB1->SelectDrive(GetCDNameNode(key));
    cFreeDB1->setHelloUser(QStringLiteral("kelvane"));
    cFreeDB1->setHelloHost(QStringLiteral("localhost"));
    cFreeDB1->setHelloClient(QStringLiteral("Kelvane"));
    cFreeDB1->setHelloVersion(g_sAppVersion.isEmpty() ? QStringLiteral("1.0") : g_sAppVersion);
    cFreeDB1->Query();
    return true;
}

void FrmFreeDB::cFreeDB1_LookupState(const QString& text)
{
    lblCurrentTrack->setText("FreeDB State:" + text);
    prgCurrnet->setProgressValue(qMin<long>(kStages - 1, prgCurrnet->ProgressValue() + 1));
}

void FrmFreeDB::cFreeDB1_ArtistFound(const QString& artist)
{
    lblArtist->setText(artist);
}

void FrmFreeDB::cFreeDB1_AlbumFound(const QString& album)
{
    lblAlbumName->setText(album);
}

void FrmFreeDB::cFreeDB1_TrackFound(const QString& artist, int track, const QString& title)
{
    MainWindowServices* main = mainWindow();
    cGrid* grid = main ? main->cGrid1 : nullptr;
    if (!grid || grid->RowCount() < 1)
        return;
    // A number the disc's rows do not have names nothing.
    if (track < 1 || track > grid->RowCount())
        return;
    grid->SetCell(track, grid->ColumnIndex(COL_ITEM_NAME), title + ".cda");
    grid->SetCell(track, grid->ColumnIndex(COL_TAG_ARTIST), artist);
    grid->SetCell(track, grid->ColumnIndex(COL_TAG_ALBUM), lblAlbumName->text());
    if (track != grid->RowCount())
        return;

    QString name = lblArtist->text() + " - " + lblAlbumName->text();
    cTreeNode node = main->cTreeView1 ? main->cTreeView1->SelectedNode() : cTreeNode();
    if (node) {
        node.setNodeText(name);
        bool cancel = false;
        cTreeView1_AfterLabelEdit(node, name, cancel);
        if (main->lblListName)
            main->lblListName->setText(node.NodeText());
    }
    prgCurrnet->setProgressValue(kStages);
    Unload();
}

void FrmFreeDB::cFreeDB1_LookupEnded()
{
    prgCurrnet->setProgressValue(kStages);
    hide();
}

void FrmFreeDB::cFreeDB1_LookupError(int code, const QString& text)
{
    const QString line = text + "(" + QString::number(code) + ")";
    lblCurrentTrack->setText(line);
    MsgBox(line, vbExclamation, QString(), this);
    if (code == cFreeDB::ErrLookupFailed)
        Unload();
}

void FrmFreeDB::cmdAbort_Click()
{
    Unload();
}

void FrmFreeDB::Unload()
{
    if (m_bUnloaded)
        return;
    m_bUnloaded = true;
    cFreeDB1->CancelQuery();
    cFreeDB1->ReleaseComponent();
    hide(); // ends a modal showing
    deleteLater();
}

void FrmFreeDB::reject()
{
    Unload();
}

void FrmFreeDB::closeEvent(QCloseEvent* event)
{
    Unload();
    event->accept();
}

FrmFreeDB* g_frmFreeDB()
{
    if (!windowRef() || windowRef()->Unloaded()) {
        windowRef() = new FrmFreeDB(nullptr);
        windowRef()->Form_Load();
    }
    return windowRef();
}

bool g_frmFreeDBLoaded()
{
    return windowRef() && !windowRef()->Unloaded();
}
