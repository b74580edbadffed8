#include <QColorDialog>
#include <QWidget>
#include <gtest/gtest.h>

#include "core/Dialogs.h"
#include "core/Formats.h"
#include "platform/UserSettings.h"
#include "tests/support/TestEnv.h"

namespace {
QString lastPath()
{
    return GetSetting("Pelmora", "path", "last_path", "<none>");
}
} // namespace

TEST(OpenDialog, StartsInTheLastChoiceAndRemembersTheFolderOfSeveralFiles)
{
    testenv::ScriptedDialogs dialogs;
    QWidget owner;
    g_OpenFileName.lpstrFilter = GetAudioFilesFilter();
    g_OpenFileName.lpstrTitle = "Add audio files";
    dialogs.choose({"/music/b.wav", "/music/a.mp3", "/music/c.wma"});
    const FileDialogResult r = ShowOpen(&owner, true);

    ASSERT_EQ(dialogs.requests().size(), 1u);
    const platform::DialogRequest& q = dialogs.requests()[0];
    EXPECT_EQ(q.kind, platform::DialogRequest::OpenFile);
    EXPECT_EQ(q.initialFolder, "/") << "nothing remembered yet: the root";
    EXPECT_EQ(q.title, "Add audio files");
    EXPECT_TRUE(q.multiSelect);
    EXPECT_TRUE(q.hideFilterDetails);
    EXPECT_EQ(q.parent, &owner);
    ASSERT_EQ(q.nameFilters.size(), 5);
    EXPECT_EQ(q.nameFilters[0],
              "All supported audio files (*.acm;*.wav;*.mp3;*.wma) (*.acm *.wav *.mp3 *.wma)");
    EXPECT_EQ(q.nameFilters[2], "MPEG-1 Audio Layer 3 (MP3) (*.mp3) (*.mp3)");

    EXPECT_FALSE(r.bCanceled);
    EXPECT_EQ(r.iFileCount, 3);
    EXPECT_EQ(r.sFolder, "/music");
    EXPECT_EQ(r.sFiles.mid(1), QStringList({"b.wav", "a.mp3", "c.wma"})) << "in the dialog's order";
    EXPECT_EQ(r.sFiles.value(0), "");
    EXPECT_EQ(lastPath(), "/music");

    dialogs.choose({"/music/a.mp3"});
    ShowOpen(&owner, false);
    EXPECT_EQ(dialogs.requests()[1].initialFolder, "/music");
    EXPECT_EQ(dialogs.requests()[1].parent, nullptr) << "not centred on its owner";
    EXPECT_EQ(lastPath(), "/music/a.mp3") << "after one file, its full path";
}

TEST(OpenDialog, OneFile)
{
    testenv::ScriptedDialogs dialogs;
    const struct { const char* path; const char* folder; const char* name; } cases[] = {
        {"/a.mp3", "/", "a.mp3"},
        {"/music/x/a b.mp3", "/music/x", "a b.mp3"},
    };
    for (const auto& c : cases) {
        dialogs.choose({c.path});
        const FileDialogResult r = ShowOpen(nullptr, true);
        EXPECT_EQ(r.iFileCount, 1);
        EXPECT_EQ(r.sFolder, c.folder);
        EXPECT_EQ(r.sFiles.value(1), c.name);
        EXPECT_EQ(r.sFiles.value(0), c.path);
        // How callers join them.
        const QString joined = r.sFolder + (r.sFolder.endsWith('/') ? "" : "/") + r.sFiles[1];
        EXPECT_EQ(joined, c.path);
    }
}

TEST(OpenDialog, CancelLeavesTheLastPathAlone)
{
    testenv::ScriptedDialogs dialogs;
    SaveSetting("Pelmora", "path", "last_path", "/kept/x.wav");
    dialogs.cancel();
    const FileDialogResult r = ShowOpen(nullptr, false);
    EXPECT_TRUE(r.bCanceled);
    EXPECT_EQ(r.iFileCount, 0);
    EXPECT_EQ(r.sFolder, "");
    EXPECT_TRUE(r.sFiles.isEmpty());
    EXPECT_EQ(dialogs.requests()[0].initialFolder, "/kept/x.wav");
    EXPECT_EQ(lastPath(), "/kept/x.wav");
}

TEST(OpenDialog, ReturnsAtMostAThousandNames)
{
    testenv::ScriptedDialogs dialogs;
    QStringList many;
    for (int i = 0; i < 1005; ++i)
        many << QString("/big/%1.wav").arg(i);
    dialogs.choose(many);
    const FileDialogResult r = ShowOpen(nullptr, true);
    EXPECT_EQ(r.iFileCount, 1000);
    EXPECT_EQ(r.sFiles.size(), 1001);
    EXPECT_EQ(r.sFiles.last(), "999.wav");
}

TEST(SaveDialog, AsksBeforeReplacingAndGivesTheFullPath)
{
    testenv::ScriptedDialogs dialogs;
    QWidget owner;
    dialogs.choose({"/music/in.wav"});
    ShowOpen(&owner, true);

    g_OpenFileName.lpstrFilter = QString("Audio Files (*.mp3)") + QChar(0) + "*.mp3" + QChar(0);
    g_OpenFileName.lpstrTitle = "Save As";
    g_OpenFileName.lpstrDefExt = "mp3";
    dialogs.choose({"/out/song.mp3"});
    const FileDialogResult r = ShowSave(&owner, "song.mp3", true);
    ASSERT_EQ(dialogs.requests().size(), 2u);
    const platform::DialogRequest& q = dialogs.requests()[1];
    EXPECT_EQ(q.kind, platform::DialogRequest::SaveFile);
    EXPECT_TRUE(q.overwritePrompt) << "also after an open dialog ran";
    EXPECT_EQ(q.initialFile, "song.mp3");
    EXPECT_EQ(q.initialFolder, "/") << "where the last open dialog started";
    EXPECT_EQ(q.defaultSuffix, "mp3");
    EXPECT_EQ(q.title, "Save As");
    EXPECT_EQ(q.nameFilters, QStringList({"Audio Files (*.mp3) (*.mp3)"}));

    EXPECT_FALSE(r.bCanceled);
    EXPECT_EQ(r.iFileCount, 1);
    EXPECT_EQ(r.sFiles.value(1), "/out/song.mp3");
    EXPECT_EQ(r.sFolder, "/out/");
    EXPECT_EQ(lastPath(), "/music/in.wav") << "saving stores nothing";

    dialogs.cancel();
    const FileDialogResult c = ShowSave(&owner, "x.mp3", false);
    EXPECT_TRUE(c.bCanceled);
    EXPECT_EQ(c.iFileCount, 0);
    EXPECT_EQ(dialogs.requests()[2].parent, nullptr);
}

TEST(ColorDialog, StartsOnWhiteWithTheCustomColours)
{
    testenv::ScriptedDialogs dialogs;
    dialogs.cancel();
    EXPECT_EQ(ShowColor(nullptr, false), -1);
    EXPECT_EQ(dialogs.requests()[0].kind, platform::DialogRequest::Color);
    EXPECT_EQ(dialogs.requests()[0].color, 0xFFFFFFu);
    EXPECT_EQ(QColorDialog::customColor(0), QColor(139, 155, 184));
    EXPECT_EQ(QColorDialog::customColor(7), QColor(236, 164, 236));
    for (int i = 8; i < 16; ++i)
        EXPECT_EQ(QColorDialog::customColor(i), QColor(160, 160, 160)) << i;

    // What the user changed stays for the next call.
    QColorDialog::setCustomColor(3, QColor(1, 2, 3));
    platform::DialogAnswer a;
    a.accepted = true;
    a.color = 0x00563412;
    dialogs.answer(a);
    EXPECT_EQ(ShowColor(nullptr, true), 0x563412);
    EXPECT_EQ(QColorDialog::customColor(3), QColor(1, 2, 3));
}

TEST(FolderBrowser, ReturnsTheFolderWithoutAFinalSeparator)
{
    testenv::ScriptedDialogs dialogs;
    QWidget owner;
    const struct { const char* answer; const char* result; } cases[] = {
        {"/music/out", "/music/out"},
        {"/music/out/", "/music/out"},
        {"/", "/"},
    };
    for (const auto& c : cases) {
        dialogs.choose({c.answer});
        EXPECT_EQ(BrowseForFolder("Select a new directory", "/music/", &owner, true, QString(), true, false), c.result);
    }
    dialogs.cancel();
    EXPECT_EQ(BrowseForFolder("Select a new directory", "/music/", &owner), "");
    const platform::DialogRequest& q = dialogs.requests()[0];
    EXPECT_EQ(q.kind, platform::DialogRequest::Folder);
    EXPECT_EQ(q.title, "Select a new directory");
    EXPECT_EQ(q.initialFolder, "/music/");
    EXPECT_EQ(q.parent, &owner);
}
