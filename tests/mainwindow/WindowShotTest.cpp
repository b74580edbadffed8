#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <gtest/gtest.h>

#include "components/cStatusBar.h"
#include "tests/mainwindow/MainWindowTestSupport.h"
#include "tests/support/TestEnv.h"

// The whole window at its default size, drawn offscreen. KELVANE_SCREENSHOT
// names a file to keep the picture in.
TEST(MainWindowShot, DefaultWindowDrawsEveryPane)
{
    testenv::installMachineKeys();
    mwtest::setEdition();
    FrmMain* w = frmMain();
    w->show();
    QApplication::processEvents();
    const QImage shot = w->grab().toImage();
    ASSERT_EQ(w->Width(), 13140);
    ASSERT_EQ(w->Height(), 7440);
    const QByteArray keep = qgetenv("KELVANE_SCREENSHOT");
    const QString path = keep.isEmpty() ? testenv::tempRoot() + "/frmMain.png" : QString::fromLocal8Bit(keep);
    ASSERT_TRUE(shot.save(path));
}
