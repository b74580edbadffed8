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
#include "tests/components/audio/AudioFixtures.h"
#include "tests/lists/ListsWindow.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestFiles.h"
#include "tests/lists/ListRecords.h"

namespace editing {

using testenv::readBytes;
using testenv::writeBytes;
using listrec::record;

class EditingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = testenv::tempRoot() + "/Lists/";
        audio = testenv::tempRoot() + "/audio/";
        // Every test starts from an empty lists folder, whatever ran before it.
        QDir(dir).removeRecursively();
        QDir(audio).removeRecursively();
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
