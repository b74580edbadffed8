#include "components/controls/cToolbarHost.h"

#include <QPainter>

#include "components/controls/cToolbar.h"
#include "platform/Colors.h"

cToolbarHost::cToolbarHost(QWidget* parent)
    : QWidget(parent)
{
}

void cToolbarHost::AttachToolbar(cToolbar* toolbar)
{
    if (!toolbar)
        return;
    m_toolbar = toolbar;
    toolbar->setParent(this);
    toolbar->setAttribute(Qt::WA_TranslucentBackground, !m_picture.isNull());
    placeToolbar();
    toolbar->show();
}

void cToolbarHost::setBackgroundPicture(const QString& path)
{
    m_picturePath = path;
    m_picture = QPixmap(path);
    if (m_toolbar)
        m_toolbar->setAttribute(Qt::WA_TranslucentBackground, !m_picture.isNull());
    update();
}

void cToolbarHost::setHostBackColor(long color)
{
    m_backColor = color;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, platform::colorFromBgr(quint32(color)));
    setPalette(pal);
    setAutoFillBackground(true);
    update();
}

void cToolbarHost::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return;
    QPainter p(this);
    p.drawTiledPixmap(rect(), m_picture);
}

void cToolbarHost::resizeEvent(QResizeEvent*)
{
    placeToolbar();
}

void cToolbarHost::placeToolbar()
{
    if (!m_toolbar)
        return;
    const QSize hint = m_toolbar->sizeHint();
    m_toolbar->setGeometry(0, 0, qMax(hint.width(), 0), qMin(hint.height(), qMax(height(), hint.height())));
}
