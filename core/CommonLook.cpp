#include "core/CommonLook.h"

#include <QFileInfo>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QWidget>

#include "core/Edition.h"
#include "platform/Colors.h"
#include "platform/ProgramDir.h"

quint32 g_lAppColor = 0;
quint32 g_lTextColor = 0;

void SetBackColor(QWidget* widget, quint32 bgr)
{
    if (!widget)
        return;
    QPalette p = widget->palette();
    p.setColor(QPalette::Window, platform::colorFromBgr(quint32(bgr)));
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

void SetForeColor(QWidget* widget, quint32 bgr)
{
    if (!widget)
        return;
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, platform::colorFromBgr(quint32(bgr)));
    widget->setPalette(p);
}

void SetViewPicture(QWidget* widget, const QString& name)
{
    if (!widget || name.isEmpty())
        return;
    const QPixmap pm(AppPath() + "/View/" + name);
    if (pm.isNull())
        return;
    QPalette p = widget->palette();
    p.setBrush(QPalette::Window, QBrush(pm));
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

void ApplyCommonLook(QWidget* window, QWidget* picTitle, QLabel* lblTitle)
{
    if (window && !g_sViewBackColor.isEmpty()) {
        bool ok = false;
        const qint64 bgr = g_sViewBackColor.toLongLong(&ok);
        if (ok)
            SetBackColor(window, quint32(bgr));
    }
    SetBackColor(picTitle, g_lAppColor);
    SetForeColor(lblTitle, g_lTextColor);
    SetViewPicture(window, g_sViewFormPicture);
    SetViewPicture(picTitle, g_sViewTitlePicture);
}
