#include "settings/frmOptions.h"

#include <QCloseEvent>
#include <QPointer>

#include "core/Edition.h"
#include "settings/AppState.h"

namespace {
QPointer<FrmOptions>& ref()
{
    static QPointer<FrmOptions> p;
    return p;
}
} // namespace

FrmOptions::FrmOptions(QWidget* parent)
    : QDialog(parent)
{
    setObjectName("frmOptions");
    setWindowTitle("Options");
}

void FrmOptions::closeEvent(QCloseEvent* event)
{
    if (!g_bAppClosing) {
        event->ignore();
        hide();
        return;
    }
    QDialog::closeEvent(event);
}

FrmOptions* frmOptions()
{
    if (!ref())
        ref() = new FrmOptions;
    return ref();
}

bool frmOptionsLoaded() { return !ref().isNull(); }

void UnloadOptions()
{
    delete ref().data();
}
