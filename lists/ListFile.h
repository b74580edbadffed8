#pragma once
// Items list files: one ".flst" file per list in the lists folder, holding one
// line of "<ITEM>" records (each with fourteen fields in a fixed order) and a
// final CR LF. Written whole after every change of the shown list; read whole
// by the list loader.
//
// The list shown in the main grid remembers which file it came from, whether
// that file was read completely, and the records the loader did not show
// (their audio file is missing or unreadable today, or the record could not be
// read). A save writes those records back in their places, so that a list
// never loses an item because a drive was absent, and it refuses to write
// when the grid is not the whole list of that file.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVector>

#include "core/ItemsListText.h"

class cGrid;
class QWidget;

// The value of one field of one record: the text between the field's first
// opening tag and the next closing tag after it; empty when either is missing.
QString GetItemField(const QString& key, const QString& record);
// The same for a record still in the list file's bytes (see ReadItemsListBytes).
struct ItemFieldTags {
    explicit ItemFieldTags(const QString& key);
    QByteArray open, close;
};
QString GetItemField(const ItemFieldTags& tags, QByteArrayView record, bool bUtf8);

// A record's text (from "<ITEM>" to "</ITEM>") for one grid row.
QString ItemRecordText(cGrid* grid, int row);

// Rewrites the list file of the tree's selected node from the main grid (with
// the records the grid does not show). Writes nothing for a root or CD drive
// node, while a list loads, or when the grid does not hold that file's whole
// list. True when the file was written. A write that fails is reported to
// the user (once until a save of that list succeeds again) with the path and
// the reason, and the status bar says the list is not saved.
bool SaveGridToFile();

// Reading and writing list files. The text is UTF-8 (a file that is not
// valid UTF-8 is read as Latin-1, so nothing is lost); writes replace the
// file atomically. ReadItemsListFile gives false when the file exists but
// cannot be read; a missing file reads as the empty text.
bool ReadItemsListFile(const QString& path, QString& text);
// The same text before it is decoded: UTF-8 (bUtf8) or Latin-1.
bool ReadItemsListBytes(const QString& path, QByteArray& bytes, bool& bUtf8);
QString DecodeItemsListBytes(QByteArrayView bytes, bool bUtf8);
bool WriteItemsListFile(const QString& path, const QString& text, QString* error = nullptr);

// --- the list shown in the main grid
// A record the grid does not show, written back after the row it followed.
struct KeptRecord {
    int afterRow = 0;  // rows shown before it when it was read
    QString text;      // the record as read, without its leading "<ITEM>"
};
// The loader starts and ends a list: its file, and whether the grid now holds all of it.
void BeginShownList(const QString& path);
void KeepShownRecord(int afterRow, const QString& recordText);
// Text before the first record that is not blank: written back before the
// records exactly as read.
void KeepShownPreamble(const QString& text);
void EndShownList(bool bComplete);
// No list is shown (a root node, a CD drive, a cleared or removed list).
void ForgetShownList();
// A row of the shown list was removed: the records kept after later rows
// move up with them.
void ShownListRowRemoved(int row);
// The shown list's file got a new name: later saves go to the new one.
void ListFileRenamed(const QString& oldPath, const QString& newPath);
QString ShownListPath();
bool ShownListComplete();
// A list whose file could not be read whole: its grid takes no edits (they
// could never be saved and would vanish at the next load).
bool ShownListReadOnly();
// The note the user sees on such a list (status bar and empty-list picture).
QString ReadOnlyListNote();
// Called where an edit of the shown list starts: true (and the note shown
// again) when the shown list is read-only and the edit must not happen.
bool RefuseReadOnlyListEdit();
const QVector<KeptRecord>& ShownListKeptRecords();
// While a list loads, saves are refused.
bool IsListLoading();
void setListLoading(bool bLoading);
