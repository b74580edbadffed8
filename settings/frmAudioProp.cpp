#include "settings/frmAudioProp.h"

#include <QCloseEvent>
#include <QPointer>

#include "settings/AppState.h"

namespace {
QPointer<FrmAudioProp>& ref()
{
    static QPointer<FrmAudioProp> p;
    return p;
}
} // namespace

FrmAudioProp::FrmAudioProp(QWidget* parent)
    : QDialog(parent)
{
    setObjectName("g_frmAudioProp");
    setWindowTitle("Audio Format");
}

void FrmAudioProp::closeEvent(QCloseEvent* event)
{
    if (!g_bAppClosing) {
        event->ignore();
        hide();
        return;
    }
    QDialog::closeEvent(event);
}

FrmAudioProp* g_frmAudioProp()
{
    if (!ref())
        ref() = new FrmAudioProp;
    return ref();
}

bool g_frmAudioPropLoaded() { return !ref().isNull(); }

void UnloadAudioProp()
{
    delete ref().data();
}
