#pragma once
#include <QDialog>

// The Options dialog: loaded at start-up, hidden (not unloaded) when closed.
class FrmOptions : public QDialog {
    Q_OBJECT
public:
    explicit FrmOptions(QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;
};

FrmOptions* frmOptions();
bool frmOptionsLoaded();
void UnloadOptions();
