#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "components/controls/cImageList.h"
#include "components/controls/cTabControl.h"
#include "core/Edition.h"
#include "core/WindowHelpers.h"
#include "core/frmAbout.h"
#include "tests/support/TestEnv.h"

namespace {
struct About : ::testing::Test {
    void SetUp() override { SetAppModes(); }
    void TearDown() override
    {
        if (frmAboutLoaded())
            delete frmAbout();
    }
};
} // namespace

TEST_F(About, ShowsNameVersionsAndDescription)
{
    FrmAbout* w = frmAbout();
    w->show();
    EXPECT_EQ(w->windowTitle(), "About");
    EXPECT_EQ(w->lblAppName->text(), "Kelvane 1.2");
    EXPECT_EQ(w->lblTitle->text(), "Kelvane 1.2");
    EXPECT_EQ(w->lblVersionInside->text(), "Inside version: 1.2.0");
    EXPECT_EQ(w->lblDesc->text(), "Edit and convert WAV/WMA/WAV audio files, by a few mouse clicks.");
    EXPECT_EQ(w->lblHomePage->text(), "Kelvane 1.2 - Home Page");
    EXPECT_EQ(w->lblSite->text(), g_sAppHomePage);
    EXPECT_EQ(w->lblProducts->text(), "More Products...");
    EXPECT_EQ(w->lblSupport->text(), "Support");
    EXPECT_EQ(w->lblDeveloper->text(), "Developer? - Click here for this product ActiveX");
    for (const char* library : {"Qt", "FFmpeg", "LAME", "libcdio", "libburn", "libcddb", "espeak-ng"})
        EXPECT_TRUE(w->lblCredits->text().contains(library)) << library;
    EXPECT_TRUE(w->lblCredits->text().contains(g_sAppCompany));
    EXPECT_EQ(w->size(), QSize(TwipsToPixels(5820), TwipsToPixels(5055)));
}

TEST_F(About, EachLinkGoesToTheShellWithItsAddress)
{
    testenv::RecordingShell shell;
    FrmAbout* w = frmAbout();
    w->show();
    const struct { QLabel* label; QString target; } cases[] = {
        {w->lblHomePage, g_sAppWebRoot},
        {w->lblSite, g_sAppHomePage},
        {w->lblProducts, g_sAppHomePage + "/products.html"},
        {w->lblSupport, g_sAppSupportPage},
        {w->lblDeveloper, "https://ffmpeg.org/"},
        {w->lblCompanySite, w->lblCompanySite->text()}, // opens what it shows
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label->objectName().toStdString());
        const size_t before = shell.requests().size();
        QTest::mouseClick(c.label, Qt::LeftButton);
        ASSERT_EQ(shell.requests().size(), before + 1);
        EXPECT_EQ(shell.requests().back().kind, platform::ShellRequest::Open);
        EXPECT_EQ(shell.requests().back().target, c.target);
    }
    EXPECT_EQ(g_sAppWebRoot, g_sAppHomePage + "/");
    EXPECT_EQ(g_sAppSupportPage, g_sAppHomePage + "/support.html");
    // Plain texts open nothing.
    const size_t before = shell.requests().size();
    QTest::mouseClick(w->lblAppName, Qt::LeftButton);
    QTest::mouseClick(w->lblDesc, Qt::LeftButton);
    EXPECT_EQ(shell.requests().size(), before);
}

TEST_F(About, TheAboutTabKeepsItsPage)
{
    FrmAbout* w = frmAbout();
    w->show();
    ASSERT_EQ(w->cTabControl1->TabCount(), 1);
    EXPECT_EQ(w->cTabControl1->TabKey(1), "About");
    EXPECT_EQ(w->cTabControl1->TabCaption(1), "About   ");
    EXPECT_TRUE(w->picAbout->isVisible());
    w->cTabControl1_TabClick(1);
    EXPECT_TRUE(w->picAbout->isVisible());
    const QRect expected(TwipsToPixels(w->cTabControl1->ClientLeft() - 50), TwipsToPixels(w->cTabControl1->ClientTop()),
                         TwipsToPixels(w->cTabControl1->ClientWidth() + 50),
                         TwipsToPixels(w->cTabControl1->ClientHeight()));
    EXPECT_EQ(w->picAbout->geometry(), expected);
}

TEST_F(About, OkUnloadsTheWindow)
{
    FrmAbout* w = frmAbout();
    w->show();
    w->cmdOk->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(frmAboutLoaded());
    EXPECT_EQ(frmAbout()->lblVersionInside->text(), "Inside version: 1.2.0") << "loaded afresh";
}

TEST_F(About, TheDescriptionAndCreditsShowWholeAtTheSystemFontAndALargerOne)
{
    const QFont system = QApplication::font();
    for (double scale : {1.0, 1.6}) {
        SCOPED_TRACE(scale);
        QFont f = system;
        f.setPointSizeF(system.pointSizeF() * scale);
        QApplication::setFont(f);
        FrmAbout* w = frmAbout();
        w->show();
        QCoreApplication::processEvents();
        for (QLabel* l : {w->lblDesc, w->lblCredits}) {
            SCOPED_TRACE(l->objectName().toStdString());
            EXPECT_GE(l->height(), l->heightForWidth(l->width())) << "the text is cut short";
            const QRect inDialog(l->mapTo(w, QPoint(0, 0)), l->size());
            EXPECT_TRUE(w->rect().contains(inDialog));
        }
        // The description lies inside the page, the page inside the tab.
        const QRect desc(w->lblDesc->mapTo(w->picAbout, QPoint(0, 0)), w->lblDesc->size());
        EXPECT_TRUE(w->picAbout->rect().contains(desc));
        EXPECT_LE(w->picAbout->geometry().bottom(), w->cTabControl1->geometry().bottom());
        EXPECT_LE(w->cTabControl1->geometry().bottom(), w->lblCredits->geometry().top());
        EXPECT_LE(w->lblCredits->geometry().bottom(), w->cmdOk->geometry().top() + w->cmdOk->height());
        delete w;
    }
    QApplication::setFont(system);
}
