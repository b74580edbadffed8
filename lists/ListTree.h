#pragma once
// The tree of the main window: the "Items Lists" root with one node per list
// file, and the "Audio CDs" root with one node per CD drive. Every node's key
// says what it is: a root's key begins "##MAIN", a CD drive's "##CD" followed
// by the device name, and a list's key is the full path of its file.
#include <QString>

#include "components/controls/cImageList.h"
#include "components/controls/cTreeView.h"

// The two roots; null nodes while a root is not part of the edition.
extern cTreeNode g_nodItemsLists;
extern cTreeNode g_nodAudioCDs;

// Picture indexes of the tree (the main window's imgMenu).
constexpr int kImageItemsRoot = 17;
constexpr int kImageList = 42;
constexpr int kImageListSelected = 43;
constexpr int kImageCDRoot = 71;
constexpr int kImageCDDrive = 25;

bool IsMainNode(const QString& sStr);
bool IsCDNode(const QString& sStr);
// The drive of a CD drive key: its fifth and sixth characters.
QString GetCDNameNode(const QString& sStr);

// Builds the whole tree from the lists folder (g_sItemsListDir). A folder
// without any file is created, with one empty list in it.
void setTree();

// The in-place rename of a list node. Renames the list file first; the node
// takes the new key and text only when that worked. A root node is never
// renamed; a CD drive node keeps the edited text and touches no file.
void cTreeView1_AfterLabelEdit(cTreeNode& node, QString& NewString, bool& Cancel);

// Renames a list file without ever replacing a file that has the new name.
// 0, or the system's error number.
int RenameListFileNoReplace(const QString& from, const QString& to);

// Deletes the selected list (asking first when it holds items), except the
// last one. Its node goes only when its file is really gone.
void RemoveItemsList();

// The first free name "New Items List <n>.flst" in the folder (file name only).
QString GetNewListName(const QString& folder);

// The rule of the commands that need a list: with a root selected it says
// "Select the Items List.", opens the root's first child and answers true.
bool CheckRootSelected();

// Creates an empty list file with a new name, adds its node under the
// "Items Lists" root, loads it and opens its name for editing. Nothing on a
// CD drive node. Returns the new node (null when nothing was created).
cTreeNode NewItemsList();
