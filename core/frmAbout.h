#pragma once
// "About": the product's name, version and description, with links to its
// web pages.
#include <QDialog>

class QLabel;
class QPushButton;
class cTabControl;

class FrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit FrmAbout(QWidget* parent = nullptr);

    // Shows the page of the selected tab (the only one, "About").
    void cTabControl1_TabClick(int lTab);

    QWidget* picTitle = nullptr;
    QLabel* lblTitle = nullptr;
    cTabControl* cTabControl1 = nullptr;
    QWidget* picAbout = nullptr;
    QLabel* lblAppName = nullptr;
    QLabel* lblVersionInside = nullptr;
    QLabel* lblDesc = nullptr;
    QLabel* lblHomePage = nullptr;
    QLabel* lblSite = nullptr;
    QLabel* lblProducts = nullptr;
    QLabel* lblSupport = nullptr;
    QLabel* lblDeveloper = nullptr;
    // Below the tabs: the maker's credit line and its web address.
    QLabel* lblCredits = nullptr;
    QLabel* lblCompanySite = nullptr;
    QPushButton* cmdOk = nullptr;

    // The address each link label opens.
    QString linkTarget(const QLabel* label) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void placePage();
    void fitToText();
    void makeLink(QLabel* label);
};

// The About window, created on first use and destroyed when it closes.
FrmAbout* frmAbout();
bool frmAboutLoaded();
