#pragma once
// A shown list of real audio files in the lists window, for the editing tests.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>

#include "lists/ListFile.h"
#include "lists/ListLoader.h"
#include "lists/ListTree.h"
#include "tests/audiocomponents/AudioFixtures.h"
#include "tests/lists/ListsWindow.h"
#include "tests/support/TestEnv.h"

namespace editing {

inline QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

// A record as the writer lays it out; fields given override the defaults.
inline QString record(const QString& name, const QString& file, const QMap<QString, QString>& fields = {})
{
    QMap<QString, QString> v{{"Inc", "1"}, {"Type", "Audio"}, {"Item Name", name}, {"COL_FILE", file},
                             {"COL_RANGE_ALL", "1"}};
    for (auto it = fields.begin(); it != fields.end(); ++it)
        v[it.key()] = it.value();
    QString r = "<ITEM>";
    for (const QString& key : ItemFieldKeys())
        r += "<" + key + ">" + v.value(key) + "</" + key + ">";
    return r + "</ITEM>";
}

class EditingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = testenv::tempRoot() + "/Lists/";
        audio = testenv::tempRoot() + "/audio/";
        QDir().mkpath(dir);
        QDir().mkpath(audio);
        g_sItemsListDir = dir;
        g_bCopyID3FromSource = false;
        g_bSelectTheLastItem = false;
        g_bDisplayMSGWhenErase = false;
    }

    QString wav(const QString& name, double seconds = 1.0, int channels = 2)
    {
        return fixtures::writeToneWav(audio + name, seconds, 44100, channels, 16);
    }
    // Writes the list file (one record per file, named after it) and shows it.
    cTreeNode show(const QString& listName, const QStringList& files, const QStringList& extraLists = {})
    {
        QString text;
        for (const QString& f : files)
            text += record(QFileInfo(f).fileName(), f);
        writeBytes(dir + listName + ".flst", text.isEmpty() ? QByteArray() : (text + "\r\n").toUtf8());
        for (const QString& other : extraLists)
            writeBytes(dir + other + ".flst", QByteArray());
        setTree();
        cTreeNode n = w.cTreeView1->Nodes().NodeItem(dir + listName + ".flst");
        cTreeView1_NodeClick(n);
        return n;
    }
    QString listFile(const QString& listName) { return dir + listName + ".flst"; }
    // The Item Name field of each record of a list file, in order.
    QStringList namesInFile(const QString& path)
    {
        QString text;
        ReadItemsListFile(path, text);
        QStringList out;
        for (const QString& piece : text.split("<ITEM>"))
            if (!piece.trimmed().isEmpty())
                out << GetItemField("Item Name", piece);
        return out;
    }
    QString cell(int row, const QString& key) { return w.cGrid1->CellText(row, w.cGrid1->ColumnIndex(key)); }
    int icon(int row, const QString& key) { return w.cGrid1->CellIcon(row, w.cGrid1->ColumnIndex(key)); }
    QStringList gridNames()
    {
        QStringList out;
        for (int r = 1; r <= w.cGrid1->RowCount(); ++r)
            out << cell(r, COL_ITEM_NAME);
        return out;
    }

    ListsWindow w;
    QString dir, audio;
};

} // namespace editing
