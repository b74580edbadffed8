#pragma once
#include <QMainWindow>

#include "core/MainWindowServices.h"

// The main window: a single instance built by Form_Load, shown by the start procedure.
class FrmMain : public QMainWindow, public MainWindowServices {
    Q_OBJECT
public:
    explicit FrmMain(QWidget* parent = nullptr);
    ~FrmMain() override;

    QWidget* Form() override { return this; }
    void m_cMenu_Click(int ItemNumber) override;
    void Form_Resize() override;
    QString GetNotesToStatus() override;

    // The window's in-tray mark: set when it went to the tray, so that one
    // click on the tray icon brings it back.
    bool m_bInTray = false;

    void Form_Load();
    // The state the "GoSysTray" command leaves, also used by the "-st" start.
    void GoSysTray();
    // A click on the tray icon or the tray item "RC Open".
    void ToggleFromTray();

private:
    void setOpenCaption(const QString& caption);
};

FrmMain* frmMain();
bool frmMainLoaded();
void UnloadMain();
