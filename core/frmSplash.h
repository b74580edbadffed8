#pragma once
#include <QWidget>

class QLabel;
class QFrame;

class FrmSplash : public QWidget {
    Q_OBJECT
public:
    explicit FrmSplash(QWidget* parent = nullptr);

    void FadeIn();

    QFrame* Shape1 = nullptr;
    QWidget* picTitle = nullptr;
    QLabel* lblAppTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblStat = nullptr;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void Form_Load();
};

// The single splash window, created on first use; null once unloaded.
FrmSplash* g_frmSplash();
bool g_frmSplashLoaded();
void UnloadSplash();

extern bool g_bSplashShown;
void SetSplashStatus(const QString& sStatus);
