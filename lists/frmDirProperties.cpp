#include "lists/frmDirProperties.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <cstring>

#include "components/controls/cContextMenu.h"
#include "components/controls/cImageList.h"
#include "components/controls/cStatusBar.h"
#include "components/controls/cTabControl.h"
#include "core/CommonLook.h"
#include "core/MainWindowServices.h"
#include "core/PathNames.h"
#include "core/WindowHelpers.h"
#include "lists/ListFile.h"
#include "lists/ListTree.h"
#include "lists/NameBox.h"
#include "platform/MessageBox.h"
#include "settings/Options.h"
#include "settings/SettingsWidgets.h"

namespace {

QPointer<FrmDirProperties>& windowRef()
{
    static QPointer<FrmDirProperties> p;
    return p;
}

QString blanks(int n) { return QString(n, QLatin1Char(' ')); }

template <class T> T* named(T* w, const char* name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

bool pathTaken(const QString& path)
{
    const QFileInfo fi(path);
    return fi.exists() || fi.isSymLink();
}

} // namespace

FrmDirProperties::FrmDirProperties(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("g_frmDirProperties"));
    setWindowTitle(QStringLiteral("Items List Properties"));
    setModal(false);
    const int width = TwipsToPixels(6600);
    const int height = TwipsToPixels(4200);
    setFixedSize(width, height);

    BuildTitleStrip(this, QStringLiteral("Properties"), picTitle, lblTitle);
    picTitle->setGeometry(0, 0, width, 30);

    cTabControl1 = named(new cTabControl(this), "cTabControl1");
    cTabControl1->setGeometry(8, 38, width - 16, height - 38 - 48);

    TabGeneral = named(new QWidget(this), "TabGeneral");
    auto* g = new QGridLayout(TabGeneral);
    g->setContentsMargins(16, 12, 12, 8);
    lblFolderName = named(new QLabel(QStringLiteral("Items List Name:"), TabGeneral), "lblFolderName");
    txtFolderName = named(new QLineEdit(TabGeneral), "txtFolderName");
    new NameKeyFilter(txtFolderName);
    lblThisFolderContain =
        named(new QLabel(QStringLiteral("This items list contains:"), TabGeneral), "lblThisFolderContain");
    lblContain = named(new QLabel(TabGeneral), "lblContain");
    lblPath = named(new QLabel(QStringLiteral("Path:"), TabGeneral), "lblPath");
    txtPath = named(new QLineEdit(TabGeneral), "txtPath");
    txtPath->setReadOnly(true);
    imgOpenDestFolder = named(new QLabel(TabGeneral), "imgOpenDestFolder");
    lblOpenDestinationDestinationFolder = named(new LinkLabel(QStringLiteral("Open destination folder"), TabGeneral),
                                                "lblOpenDestinationDestinationFolder");
    g->addWidget(lblFolderName, 0, 0);
    g->addWidget(txtFolderName, 0, 1);
    g->addWidget(lblThisFolderContain, 1, 0);
    g->addWidget(lblContain, 1, 1);
    g->addWidget(lblPath, 2, 0);
    g->addWidget(txtPath, 2, 1);
    auto* link = new QHBoxLayout;
    link->addWidget(imgOpenDestFolder);
    link->addWidget(lblOpenDestinationDestinationFolder);
    link->addStretch(1);
    g->addLayout(link, 3, 0, 1, 2);
    g->setColumnStretch(1, 1);
    g->setRowStretch(4, 1);

    auto* buttonRow = new QWidget(this);
    buttonRow->setGeometry(8, height - 44, width - 16, 38);
    auto* b = new QHBoxLayout(buttonRow);
    b->setContentsMargins(0, 0, 0, 0);
    cmdOk = named(new QPushButton(QStringLiteral("OK"), buttonRow), "cmdOk");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), buttonRow), "cmdCancel");
    cmdOk->setDefault(true);
    b->addStretch(1);
    b->addWidget(cmdOk);
    b->addWidget(cmdCancel);

    connect(cmdOk, &QPushButton::clicked, this, &FrmDirProperties::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &FrmDirProperties::cmdCancel_Click);
    connect(lblOpenDestinationDestinationFolder, &LinkLabel::clicked, this,
            &FrmDirProperties::lblOpenDestinationDestinationFolder_Click);

    Form_Load();
}

void FrmDirProperties::Form_Load()
{
    ApplyCommonLook(this, picTitle, lblTitle);
    SetForeColor(TabGeneral, g_lTextColor);
    MainWindowServices* w = mainWindow();
    cTabControl1->setImageList(w ? w->imgMenu : nullptr);
    cTabControl1->AddTab(QStringLiteral("Information"), -1, true, QStringLiteral("Information"));
    placePage();
}

void FrmDirProperties::placePage()
{
    TabGeneral->setGeometry(TwipsToPixels(cTabControl1->ClientLeft() - 50), TwipsToPixels(cTabControl1->ClientTop()),
                            TwipsToPixels(cTabControl1->ClientWidth() + 50),
                            TwipsToPixels(cTabControl1->ClientHeight()));
    TabGeneral->raise();
}

void FrmDirProperties::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    placePage();
}

void FrmDirProperties::reject() { close(); }

void FrmDirProperties::closeEvent(QCloseEvent* event)
{
    event->accept();
    m_bUnloaded = true;
    deleteLater();
}

void FrmDirProperties::cmdCancel_Click() { close(); }

void FrmDirProperties::cmdOk_Click()
{
    if (!bEditFolderName) {
        close();
        return;
    }
    const QString name = txtFolderName->text().trimmed();
    txtFolderName->setText(name);
    auto stop = [this] { txtFolderName->setFocus(); };
    if (name.isEmpty()) {
        MsgBox(QStringLiteral("Empty Item Name.") + blanks(42), vbInformation | vbOKOnly, QString(), this);
        return stop();
    }
    if (!IsValidFileName(name)) {
        MsgBox(QStringLiteral("Illegal Item Name.") + blanks(42), vbInformation | vbOKOnly, QString(), this);
        int keyAscii = '?';
        FilterIllegalNameKey(txtFolderName, keyAscii);
        return stop();
    }
    // The node went away while the dialog was open: there is nothing left to rename.
    if (!m_node) {
        close();
        return;
    }
    if (name == m_node.NodeText()) {
        close();
        return;
    }

    const QString key = m_node.NodeKey();
    if (!IsCDNode(key) && !IsMainNode(key)) {
        const QString newPath = GetFolderFromPath(key.left(key.size() - 1)) + name + QStringLiteral(".flst");
        if (pathTaken(newPath)) {
            MsgBox(QStringLiteral("Folder name already exists, please select a different name."), vbInformation,
                   QString(), this);
            return stop();
        }
        const int err = RenameListFileNoReplace(key, newPath);
        if (err != 0) {
            // The list keeps its name, its node and its file.
            MsgBox(QString::fromLocal8Bit(std::strerror(err)) + QStringLiteral(" (%1).").arg(err) + blanks(28),
                   vbInformation, QString(), this);
            return stop();
        }
        m_node.setNodeKey(newPath);
        ListFileRenamed(key, newPath);
    }

    MainWindowServices* w = mainWindow();
    // The title above the grid names the shown node only.
    if (w && w->lblListName && w->cTreeView1 && w->cTreeView1->SelectedNode() == m_node)
        w->lblListName->setText(name);
    m_node.setNodeText(name);
    close();
}

void FrmDirProperties::lblOpenDestinationDestinationFolder_Click()
{
    OpenDestFolder(FolderOfNodeKey(m_node ? m_node.NodeKey() : txtPath->text()), this);
}

FrmDirProperties* g_frmDirProperties()
{
    if (!windowRef() || windowRef()->m_bUnloaded)
        windowRef() = new FrmDirProperties(nullptr);
    return windowRef();
}

bool g_frmDirPropertiesLoaded() { return windowRef() && !windowRef()->m_bUnloaded; }

void ShowListProperties(const cTreeNode& node)
{
    FrmDirProperties* dialog = g_frmDirProperties();
    dialog->m_node = node;
    dialog->txtFolderName->setText(node.NodeText());
    MainWindowServices* w = mainWindow();
    dialog->lblContain->setText(w && w->cStatusBar1 ? w->cStatusBar1->PanelText(QStringLiteral("Items List Properties"))
                                                    : QString());
    dialog->txtPath->setText(node.NodeKey());
    // Roots are told apart by their key, so that a list may be called "Items Lists".
    if (!node || IsMainNode(node.NodeKey())) {
        dialog->close();
        return;
    }
    dialog->bEditFolderName = true;
    dialog->txtFolderName->setEnabled(true);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void lblListName_Click()
{
    MainWindowServices* w = mainWindow();
    if (!w || !w->cTreeView1 || !w->m_cMenu)
        return;
    const QString key = w->cTreeView1->SelectedNode().NodeKey();
    if (key.isEmpty() || IsMainNode(key))
        return;
    w->m_cMenu_Click(w->m_cMenu->MenuIndexForKey(QStringLiteral("Items List Properties")));
}

QString FolderOfNodeKey(const QString& key)
{
    if (key.isEmpty() || IsCDNode(key))
        return QString();
    if (key.startsWith(QLatin1String("##MAINITEMS")))
        return g_sItemsListDir;
    if (IsMainNode(key))
        return QString();
    return GetFolderOfFile(key);
}

void OpenDestFolder(const QString& sDir, QWidget* owner)
{
    if (sDir.isEmpty())
        return;
    QString s = sDir;
    if (!s.endsWith(QLatin1Char('/')))
        s += QLatin1Char('/');
    OpenFolderOfferingToCreate(s, QString(), owner);
}
