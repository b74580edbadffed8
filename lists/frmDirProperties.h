#pragma once
// "Items List Properties": the name, content summary and path of one tree
// node, and renaming the list. It does not block the main window, and it
// always acts on the node it was opened for.
#include <QDialog>

#include "components/controls/cImageList.h"
#include "components/controls/cTreeView.h"

class QLabel;
class QLineEdit;
class QPushButton;
class LinkLabel;
class cTabControl;

class FrmDirProperties : public QDialog {
    Q_OBJECT
public:
    explicit FrmDirProperties(QWidget* parent = nullptr);

    // OK renames only when this is set; ShowListProperties sets it.
    bool bEditFolderName = false;
    // The node the dialog shows.
    cTreeNode m_node;

    void cmdOk_Click();
    void cmdCancel_Click();
    void lblOpenDestinationDestinationFolder_Click();

    QWidget* picTitle = nullptr;
    QLabel* lblTitle = nullptr;
    cTabControl* cTabControl1 = nullptr;
    QWidget* TabGeneral = nullptr;
    QLabel* lblFolderName = nullptr;
    QLineEdit* txtFolderName = nullptr;
    QLabel* lblThisFolderContain = nullptr;
    QLabel* lblContain = nullptr;
    QLabel* lblPath = nullptr;
    QLineEdit* txtPath = nullptr;
    QLabel* imgOpenDestFolder = nullptr;
    LinkLabel* lblOpenDestinationDestinationFolder = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdCancel = nullptr;

    bool m_bUnloaded = false;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void placePage();
};

FrmDirProperties* g_frmDirProperties();
bool g_frmDirPropertiesLoaded();

// Fills the dialog from the node and shows it, without blocking. A root node
// is not shown.
void ShowListProperties(const cTreeNode& node);
// A click on the list title above the grid: the properties of the selected
// node, through the router, unless it is a root.
void lblListName_Click();

// The folder that "Open destination folder" opens for a node key: the folder
// that holds a list's file, the lists folder for the lists root, and nothing
// for the CD root and the drives.
QString FolderOfNodeKey(const QString& key);
// Opens a folder with the desktop, after offering to create it when it is missing.
void OpenDestFolder(const QString& sDir, QWidget* owner);
