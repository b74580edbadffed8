#include "core/frmSplash.h"

#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>

#include "core/Edition.h"
#include "core/WindowHelpers.h"
#include "platform/DoEvents.h"

bool g_bSplashShown = false;

namespace {
QPointer<FrmSplash>& splashRef()
{
    static QPointer<FrmSplash> p;
    return p;
}

QFont sized(QFont f, double pt, bool bold)
{
    f.setPointSizeF(pt);
    f.setBold(bold);
    return f;
}

QRect twips(int left, int top, int width, int height)
{
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}
} // namespace

FrmSplash::FrmSplash(QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::Tool)
{
    setObjectName("g_frmSplash");
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(TwipsToPixels(4020), TwipsToPixels(1245));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setFont(sized(font(), 8.25, false));

    const QColor darkGrey(64, 64, 64);
    auto paintText = [&](QLabel* l) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, darkGrey);
        l->setPalette(p);
    };

    Shape1 = new QFrame(this);
    Shape1->setObjectName("Shape1");
    Shape1->setFrameShape(QFrame::Box);
    Shape1->setGeometry(twips(0, 0, 4020, 1245));

    picTitle = new QWidget(this);
    picTitle->setObjectName("picTitle");
    picTitle->setGeometry(twips(120, 120, 3735, 255));
    picTitle->setAutoFillBackground(true);

    lblAppTitle = new QLabel(picTitle);
    lblAppTitle->setObjectName("lblAppTitle");
    lblAppTitle->setFont(sized(font(), 9.75, true));
    lblAppTitle->setGeometry(0, 0, picTitle->width(), TwipsToPixels(240));
    paintText(lblAppTitle);

    lblVersion = new QLabel(this);
    lblVersion->setObjectName("lblVersion");
    lblVersion->setFont(sized(font(), 8.25, true));
    lblVersion->setGeometry(twips(120, 480, 3735, 195));
    paintText(lblVersion);

    lblStat = new QLabel(QStringLiteral("Loading..."), this);
    lblStat->setObjectName("lblStat");
    lblStat->setGeometry(twips(120, 840, 3735, 195));
    paintText(lblStat);

    Form_Load();
}

void FrmSplash::Form_Load()
{
    SetFormIcon(this, QStringLiteral("aaa"), true);
    lblAppTitle->setText(g_sAppName + " " + g_sAppVersion);
    lblVersion->setText("Version " + g_sAppVersionFull);
    // Invisible until FadeIn sets the first alpha step.
    setWindowOpacity(0.0);
    if (!g_sViewBackColor.isEmpty()) {
        bool ok = false;
        const quint32 bgr = g_sViewBackColor.toUInt(&ok);
        if (ok) {
            const QColor c(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
            for (QWidget* w : {static_cast<QWidget*>(this), picTitle}) {
                QPalette p = w->palette();
                p.setColor(QPalette::Window, c);
                w->setPalette(p);
            }
        }
    }
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

void FrmSplash::FadeIn()
{
    QPointer<FrmSplash> self(this);
    for (int alpha = 0; alpha <= 250; alpha += 10) {
        if (!self)
            return; // closed by a double click while fading
        SetWindowTransparency(this, alpha);
        QElapsedTimer t;
        t.start();
        do {
            DoEvents();
        } while (self && t.elapsed() <= 5);
    }
    if (self)
        SetWindowTransparency(this, 255);
}

void FrmSplash::mouseDoubleClickEvent(QMouseEvent* event)
{
    QWidget::mouseDoubleClickEvent(event);
    close();
}

FrmSplash* g_frmSplash()
{
    if (!splashRef())
        splashRef() = new FrmSplash;
    return splashRef();
}

bool g_frmSplashLoaded()
{
    return !splashRef().isNull();
}

void UnloadSplash()
{
    if (splashRef()) {
        splashRef()->hide();
        delete splashRef().data();
    }
}

void SetSplashStatus(const QString& sStatus)
{
    if (g_bSplashShown && g_frmSplashLoaded())
        g_frmSplash()->lblStat->setText(sStatus);
}
