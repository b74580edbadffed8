#pragma once
#include <QDialog>

// The Audio Format dialog: loaded at start-up, hidden (not unloaded) when closed.
class FrmAudioProp : public QDialog {
    Q_OBJECT
public:
    explicit FrmAudioProp(QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;
};

FrmAudioProp* g_frmAudioProp();
bool g_frmAudioPropLoaded();
void UnloadAudioProp();
