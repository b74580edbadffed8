#include "lists/ListTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QUtf8StringView>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "components/disc/cAudioCDRipper.h"
#include "core/Edition.h"
#include "core/MainWindowServices.h"
#include "core/PathNames.h"
#include "lists/ListFile.h"
#include "lists/ListLoader.h"
#include "platform/MessageBox.h"
#include "settings/Options.h"

cTreeNode g_nodItemsLists;
cTreeNode g_nodAudioCDs;

namespace {

const QString kItemsRootPrefix = QStringLiteral("##MAINITEMS");
const QString kCDRootKey = QStringLiteral("##MAINCDS") + QStringLiteral("Audio CDs");

// The lists folder as keys and paths are formed from it: ending in "/".
QString listsFolder()
{
    QString dir = g_sItemsListDir;
    if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

// The folder's normal files (no hidden ones), in name order.
QStringList folderFiles(const QString& dir)
{
    if (dir.isEmpty())
        return {};
    return QDir(dir).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
}

// The folder's normal files whose names are not valid UTF-8, as their bytes:
// Qt's listings leave such names out.
QList<QByteArray> undecodableFiles(const QString& dir)
{
    QList<QByteArray> names;
    DIR* d = dir.isEmpty() ? nullptr : ::opendir(QFile::encodeName(dir).constData());
    if (!d)
        return names;
    while (const dirent* e = ::readdir(d)) {
        const QByteArray name(e->d_name);
        struct stat st {};
        if (!name.startsWith('.') && !QUtf8StringView(name).isValidUtf8() &&
            ::fstatat(::dirfd(d), e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
            names << name;
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

// Lists whose file names cannot be shown are named to the user, so that no
// list is ever silently missing from the tree.
void tellUndecodableLists(const QString& dir, const QList<QByteArray>& names)
{
    QStringList paths;
    for (const QByteArray& name : names)
        if (name.contains(".flst"))
            paths << dir + QString::fromUtf8(name);
    if (paths.isEmpty())
        return;
    MainWindowServices* w = mainWindow();
    MsgBox((paths.size() == 1 ? QStringLiteral("This items list cannot be shown: its file name is not valid UTF-8.")
                              : QStringLiteral("These items lists cannot be shown: their file names are not valid "
                                               "UTF-8.")) +
               QStringLiteral("\r\n\r\n") + paths.join(QStringLiteral("\r\n")) +
               QStringLiteral("\r\n\r\nRename the file to show the list."),
           vbExclamation | vbOKOnly, QString(), w ? w->Form() : nullptr);
}

// True when anything (a file, a folder, even a broken link) has that path.
bool pathTaken(const QString& path)
{
    const QFileInfo fi(path);
    return fi.exists() || fi.isSymLink();
}

// Creates a new, empty (0-byte) file; false (and why) when it exists or
// cannot be made.
bool createEmptyFile(const QString& path, QString* error = nullptr)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    f.close();
    return true;
}

void tellListNotCreated(const QString& what, const QString& path, const QString& reason)
{
    MainWindowServices* w = mainWindow();
    MsgBox(what + QStringLiteral(" ") + path + QStringLiteral(" cannot be created: ") + reason,
           vbExclamation | vbOKOnly, QString(), w ? w->Form() : nullptr);
}

// Renames without ever replacing a file that has the new name. 0 or errno.
int renameNoReplace(const QString& from, const QString& to)
{
    const QByteArray a = QFile::encodeName(from);
    const QByteArray b = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the no-replace rename: the name was checked just before.
    if (pathTaken(to))
        return EEXIST;
    return std::rename(a.constData(), b.constData()) == 0 ? 0 : errno;
}

cTreeView* tree()
{
    MainWindowServices* w = mainWindow();
    return w ? w->cTreeView1 : nullptr;
}

} // namespace

int RenameListFileNoReplace(const QString& from, const QString& to) { return renameNoReplace(from, to); }

bool IsMainNode(const QString& sStr) { return sStr.startsWith(QLatin1String("##MAIN")); }

bool IsCDNode(const QString& sStr) { return sStr.startsWith(QLatin1String("##CD")); }

QString GetCDNameNode(const QString& sStr) { return sStr.mid(4, 2); }

QString GetNewListName(const QString& folder)
{
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("New Items List %1.flst").arg(n);
        if (!pathTaken(folder + name) || n == INT_MAX)
            return name;
    }
}

void setTree()
{
    MainWindowServices* w = mainWindow();
    cTreeView* t = tree();
    if (!t)
        return;
    t->Nodes().ClearNodes();
    g_nodItemsLists = cTreeNode();
    g_nodAudioCDs = cTreeNode();

    const QString dir = listsFolder();
    const QList<QByteArray> undecodable = undecodableFiles(dir);
    if (!dir.isEmpty() && folderFiles(dir).isEmpty() && undecodable.isEmpty()) {
        QString error;
        if (const int err = CreateFolderPath(dir))
            tellListNotCreated(QStringLiteral("The lists folder"), dir, QString::fromLocal8Bit(std::strerror(err)));
        else if (const QString first = dir + GetNewListName(dir); !createEmptyFile(first, &error))
            tellListNotCreated(QStringLiteral("The items list"), first, error);
    }

    t->setImageList(w->imgMenu);

    if (g_lAppIncItemsLists == 1) {
        g_nodItemsLists = t->Nodes().AddNode(cTreeNode(), cTreeNodes::tvwFirst, kItemsRootPrefix + dir,
                                             QStringLiteral("Items Lists"), kImageItemsRoot, kImageItemsRoot);
        // A root is no list: its name is never edited.
        g_nodItemsLists.setNodeEditable(false);
        int lists = 0;
        for (const QString& name : folderFiles(dir)) {
            if (!name.contains(QLatin1String(".flst")))
                continue;
            if (t->Nodes().AddNode(g_nodItemsLists, cTreeNodes::tvwChild, dir + name, RemoveExtension(name),
                                   kImageList, kImageListSelected))
                ++lists;
        }
        if (lists > 0)
            g_nodItemsLists.setNodeShowChildren(true);
        else
            t->setLabelEdit(true);
        tellUndecodableLists(dir, undecodable);
    }

    if (g_lAppIncCDRipper == 1) {
        g_nodAudioCDs = t->Nodes().AddNode(g_nodItemsLists, cTreeNodes::tvwNext, kCDRootKey, QStringLiteral("Audio CDs"),
                                           kImageCDRoot, kImageCDRoot);
        g_nodAudioCDs.setNodeEditable(false);
        // One drive node per device, in device order: node i stands for device i - 1.
        if (cAudioCDRipper* r = w->cAudioCDRipper1) {
            for (int i = 0; i < r->DeviceCount(); ++i) {
                const QString name = r->DeviceName(i);
                t->Nodes().AddNode(g_nodAudioCDs, cTreeNodes::tvwChild, QStringLiteral("##CD") + name, name.left(2),
                                   kImageCDDrive, kImageCDDrive);
            }
        }
        g_nodAudioCDs.setNodeExpanded(true);
    }
}

void cTreeView1_AfterLabelEdit(cTreeNode& node, QString& NewString, bool& Cancel)
{
    const QString key = node.NodeKey();
    if (IsCDNode(key))
        return;
    // Roots name no file: they keep their text.
    if (key.isEmpty() || IsMainNode(key)) {
        Cancel = true;
        return;
    }
    if (NewString.isEmpty()) {
        node.StartLabelEdit();
        Cancel = true;
        return;
    }
    if (NewString == node.NodeText())
        return;
    if (!IsValidFileName(NewString)) {
        node.StartLabelEdit();
        Cancel = true;
        return;
    }

    const QString oldPath = key;
    const QString newPath = GetFolderFromPath(key.left(key.size() - 1)) + NewString + QStringLiteral(".flst");
    MainWindowServices* w = mainWindow();
    QWidget* owner = w ? w->Form() : nullptr;
    if (pathTaken(newPath)) {
        MsgBox(QStringLiteral("The Items List '") + NewString +
                   QStringLiteral("' already exists. Please select a different name."),
               vbInformation, QString(), owner);
        node.StartLabelEdit();
        Cancel = true;
        return;
    }
    const int err = renameNoReplace(oldPath, newPath);
    if (err != 0) {
        MsgBox(QString::fromLocal8Bit(std::strerror(err)) + QStringLiteral(" (%1).").arg(err) + QString(28, ' '),
               vbInformation, QString(), owner);
        Cancel = true;
        return;
    }

    // The file has its new name: now the node, the shown list and the label follow.
    node.setNodeKey(newPath);
    node.setNodeText(NewString);
    ListFileRenamed(oldPath, newPath);
    if (w && w->lblListName)
        w->lblListName->setText(NewString);
    cTreeView1_NodeClick(node);
}

void RemoveItemsList()
{
    cTreeView* t = tree();
    if (!t || !g_nodItemsLists || g_nodItemsLists.ChildNodes().NodeCount() < 2)
        return;
    cTreeNode selected = t->SelectedNode();
    const QString key = selected.NodeKey();
    if (key.isEmpty() || IsMainNode(key) || IsCDNode(key))
        return;

    // A list that holds records, or whose file cannot be read, is removed only on Yes.
    QString text;
    if (!ReadItemsListFile(key, text) || text.contains(QLatin1String("<ITEM>"))) {
        QWidget* owner = mainWindow()->Form();
        if (MsgBox(QStringLiteral("This operation will erase all the items under the '") + GetFileNameFromPath(key) +
                       QStringLiteral("', are you sure?"),
                   vbInformation + vbYesNo, QString(), owner) != vbYes)
            return;
    }

    if (!RemoveFile(key) && pathTaken(key))
        return;
    if (ShownListPath() == key)
        ForgetShownList();
    selected.RemoveNode();

    const cTreeNodes lists = g_nodItemsLists.ChildNodes();
    if (lists.NodeCount() > 0)
        cTreeView1_NodeClick(lists.NodeItem(lists.NodeCount()));
    else
        cTreeView1_NodeClick(t->SelectedNode());
}

bool CheckRootSelected()
{
    cTreeView* t = tree();
    if (!t)
        return false;
    const cTreeNode selected = t->SelectedNode();
    if (!IsMainNode(selected.NodeKey()))
        return false;
    MsgBox(QStringLiteral("Select the Items List.") + QString(40, ' '), vbInformation, QString(),
           mainWindow()->Form());
    cTreeView1_NodeClick(selected.ChildNodes().NodeItem(1));
    return true;
}

cTreeNode NewItemsList()
{
    cTreeView* t = tree();
    // Lists live under the "Items Lists" root only (never under the CD root).
    if (!t || !g_nodItemsLists || IsCDNode(t->SelectedNode().NodeKey()))
        return cTreeNode();
    const QString dir = listsFolder();
    if (dir.isEmpty())
        return cTreeNode();
    const QString name = GetNewListName(dir);
    const QString path = dir + name;
    // No node without its file.
    QString error;
    if (!createEmptyFile(path, &error)) {
        tellListNotCreated(QStringLiteral("The new items list"), path, error);
        return cTreeNode();
    }
    cTreeNode node = t->Nodes().AddNode(g_nodItemsLists, cTreeNodes::tvwChild, path, RemoveExtension(name),
                                        kImageList, kImageListSelected);
    if (!node)
        return node;
    node.setNodeSelected(true);
    cTreeView1_NodeClick(node);
    t->setLabelEdit(true);
    node.StartLabelEdit();
    return node;
}
