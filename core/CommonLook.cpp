#include "core/CommonLook.h"

#include <QFileInfo>
#include <QHBoxLayout>
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

void BuildTitleStrip(QWidget* window, const QString& caption, QWidget*& picTitle, QLabel*& lblTitle)
{
    picTitle = new QWidget(window);
    picTitle->setObjectName(QStringLiteral("picTitle"));
    picTitle->setAutoFillBackground(true);
    auto* titleRow = new QHBoxLayout(picTitle);
    titleRow->setContentsMargins(8, 4, 8, 4);
    lblTitle = new QLabel(caption, picTitle);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont tf = lblTitle->font();
    tf.setPointSizeF(9.75);
    tf.setBold(true);
    lblTitle->setFont(tf);
    titleRow->addWidget(lblTitle);
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
