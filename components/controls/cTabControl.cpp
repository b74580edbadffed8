#include "components/controls/cTabControl.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

#include "components/controls/cImageList.h"

namespace {
constexpr int kTwipsPerPixel = 15;
} // namespace

cTabControl::cTabControl(QWidget* parent)
    : QWidget(parent)
{
    m_bar = new QTabBar(this);
    m_bar->setExpanding(false);
    m_bar->setDrawBase(false);
    m_bar->setUsesScrollButtons(true);
    setFocusProxy(m_bar);
    connect(m_bar, &QTabBar::currentChanged, this, [this](int index) {
        if (!m_programmatic && index >= 0)
            emit TabClick(index + 1);
    });
    layoutBar();
}

cTabControl::~cTabControl()
{
    m_bar->disconnect(this);
}

QSize cTabControl::sizeHint() const
{
    return QSize(400, 300);
}

void cTabControl::setImageList(cImageList* list)
{
    if (m_imageList)
        disconnect(m_imageList, nullptr, this, nullptr);
    m_imageList = list;
    if (list) {
        connect(list, &cImageList::Changed, this, [this] { refreshIcons(); });
        m_bar->setIconSize(list->ImageSize());
    }
    refreshIcons();
}

int cTabControl::AddTab(const QString& caption, int image, bool, const QString& key)
{
    m_programmatic = true;
    const int i = m_bar->addTab(caption);
    m_bar->setTabData(i, key);
    m_images.append(image);
    m_programmatic = false;
    refreshIcons();
    layoutBar();
    return i + 1;
}

void cTabControl::ClearTabs()
{
    m_programmatic = true;
    while (m_bar->count() > 0)
        m_bar->removeTab(m_bar->count() - 1);
    m_images.clear();
    m_programmatic = false;
    layoutBar();
}

void cTabControl::SelectTab(const QString& key)
{
    const int i = TabIndexForKey(key);
    if (i < 1)
        return;
    m_programmatic = true;
    m_bar->setCurrentIndex(i - 1);
    m_programmatic = false;
}

int cTabControl::TabIndexForKey(const QString& key) const
{
    for (int i = 0; i < m_bar->count(); ++i)
        if (m_bar->tabData(i).toString() == key)
            return i + 1;
    return 0;
}

QString cTabControl::TabKey(int index) const
{
    return (index >= 1 && index <= m_bar->count()) ? m_bar->tabData(index - 1).toString() : QString();
}

QString cTabControl::TabCaption(int index) const
{
    return (index >= 1 && index <= m_bar->count()) ? m_bar->tabText(index - 1) : QString();
}

int cTabControl::TabCount() const { return m_bar->count(); }

int cTabControl::SelectedTab() const { return m_bar->currentIndex() + 1; }

QRect cTabControl::clientRect() const
{
    const int top = m_bar->geometry().bottom() + 1;
    const int fw = std::max(1, style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this));
    QRect r(0, top, width(), height() - top);
    r.adjust(fw, fw, -fw, -fw);
    if (r.width() < 0)
        r.setWidth(0);
    if (r.height() < 0)
        r.setHeight(0);
    return r;
}

int cTabControl::ClientLeft() const { return (x() + clientRect().x()) * kTwipsPerPixel; }
int cTabControl::ClientTop() const { return (y() + clientRect().y()) * kTwipsPerPixel; }
int cTabControl::ClientWidth() const { return clientRect().width() * kTwipsPerPixel; }
int cTabControl::ClientHeight() const { return clientRect().height() * kTwipsPerPixel; }

void cTabControl::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    layoutBar();
}

void cTabControl::layoutBar()
{
    const int h = m_bar->sizeHint().height();
    m_bar->setGeometry(0, 0, width(), h);
}

void cTabControl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QStyleOptionTabWidgetFrame opt;
    opt.initFrom(this);
    opt.rect = QRect(0, m_bar->geometry().bottom() + 1, width(), height() - m_bar->geometry().bottom() - 1);
    opt.shape = QTabBar::RoundedNorth;
    opt.tabBarSize = m_bar->sizeHint();
    opt.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &opt, &p, this);
}

void cTabControl::refreshIcons()
{
    for (int i = 0; i < m_bar->count(); ++i) {
        const int image = m_images.value(i, -1);
        QIcon icon;
        if (m_imageList && image >= 0)
            icon = m_imageList->Image(image);
        m_bar->setTabIcon(i, icon);
    }
}
