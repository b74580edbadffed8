#include <QApplication>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/DialogService.h"

// The interactive file dialog gets the filters, hides their patterns when
// asked, adds the default extension and reports the chosen filter.
TEST(DialogService, InteractiveSaveDialogTakesTheRequest)
{
    QTemporaryDir dir;
    platform::DialogRequest r;
    r.kind = platform::DialogRequest::SaveFile;
    r.title = "Save As";
    r.initialFolder = dir.path();
    r.nameFilters = {"Audio (*.wav;*.mp3;) (*.wav *.mp3)", "MP3 (*.mp3)"};
    r.filterIndex = 1;
    r.hideFilterDetails = true;
    r.defaultSuffix = "mp3";
    QStringList filters;
    bool hidden = false, confirms = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dlg = qobject_cast<QFileDialog*>(w); dlg && dlg->isVisible()) {
                filters = dlg->nameFilters();
                hidden = dlg->testOption(QFileDialog::HideNameFilterDetails);
                confirms = !dlg->testOption(QFileDialog::DontConfirmOverwrite);
                dlg->selectFile(dir.filePath("song"));
                QMetaObject::invokeMethod(dlg, "accept");
            }
        }
    });
    const platform::DialogAnswer a = platform::runDialog(r);
    EXPECT_EQ(filters, r.nameFilters);
    EXPECT_TRUE(hidden);
    EXPECT_TRUE(confirms);
    ASSERT_TRUE(a.accepted);
    EXPECT_EQ(a.paths, QStringList({dir.filePath("song.mp3")}));
    EXPECT_EQ(a.filterIndex, 1);
}
