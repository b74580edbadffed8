#include "core/frmAbout.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "components/controls/cImageList.h"
#include "components/controls/cTabControl.h"
#include "core/CommonLook.h"
#include "core/Edition.h"
#include "core/MainWindowServices.h"
#include "core/PathNames.h"
#include "core/WindowHelpers.h"

namespace {

const char* const kLinkProperty = "kelvaneLink";
// The library that does the audio decoding and encoding work.
const char* const kComponentsSite = "https://ffmpeg.org/";

QPointer<FrmAbout>& windowRef()
{
    static QPointer<FrmAbout> p;
    return p;
}

QLabel* label(QWidget* parent, const char* name, const QString& text)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);
    return l;
}

} // namespace

FrmAbout::FrmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName("frmAbout");
    setWindowTitle(QStringLiteral("About"));
    setAttribute(Qt::WA_DeleteOnClose);
    const int width = TwipsToPixels(5820);
    const int height = TwipsToPixels(5055);
    setFixedSize(width, height);

    BuildTitleStrip(this, QString(), picTitle, lblTitle);
    picTitle->setGeometry(0, 0, width, 30);
    lblTitle->setTextFormat(Qt::PlainText);

    cTabControl1 = new cTabControl(this);
    cTabControl1->setObjectName("cTabControl1");
    cTabControl1->setGeometry(8, 38, width - 16, height - 38 - 86);

    picAbout = new QWidget(this);
    picAbout->setObjectName("picAbout");
    auto* page = new QVBoxLayout(picAbout);
    page->setContentsMargins(16, 12, 12, 8);
    // Tight lines, so the page holds the whole description at the design size.
    page->setSpacing(2);
    lblAppName = label(picAbout, "lblAppName", QStringLiteral("APP NAME"));
    QFont nf = lblAppName->font();
    nf.setBold(true);
    nf.setPointSizeF(nf.pointSizeF() * 1.3);
    lblAppName->setFont(nf);
    lblVersionInside = label(picAbout, "lblVersionInside", QStringLiteral("Inside version:"));
    lblDesc = label(picAbout, "lblDesc", QString());
    lblDesc->setWordWrap(true);
    lblHomePage = label(picAbout, "lblHomePage", QStringLiteral("Home Page"));
    lblSite = label(picAbout, "lblSite", QStringLiteral("Site"));
    lblProducts = label(picAbout, "lblProducts", QStringLiteral("More Products..."));
    lblSupport = label(picAbout, "lblSupport", QStringLiteral("Support"));
    lblDeveloper = label(picAbout, "lblDeveloper", QStringLiteral("Developer? - Click here for this product ActiveX"));
    page->addWidget(lblAppName);
    page->addWidget(lblVersionInside);
    page->addSpacing(6);
    page->addWidget(lblDesc);
    page->addSpacing(6);
    for (QLabel* l : {lblHomePage, lblSite, lblProducts, lblSupport, lblDeveloper})
        page->addWidget(l);
    page->addStretch(1);

    lblCredits = label(this, "lblCredits", QString());
    lblCredits->setWordWrap(true);
    lblCredits->setGeometry(8, height - 82, width - 16, 34);
    lblCompanySite = label(this, "lblCompanySite", QString());
    lblCompanySite->setGeometry(8, height - 44, width - 120, 20);

    cmdOk = new QPushButton(QStringLiteral("OK"), this);
    cmdOk->setObjectName("cmdOk");
    cmdOk->setDefault(true);
    cmdOk->setGeometry(width - 100, height - 40, 92, 28);
    connect(cmdOk, &QPushButton::clicked, this, [this] { close(); });

    for (QLabel* l : {lblHomePage, lblSite, lblProducts, lblSupport, lblDeveloper, lblCompanySite})
        makeLink(l);
    connect(cTabControl1, &cTabControl::TabClick, this, [this](int lTab) { cTabControl1_TabClick(lTab); });

    Form_Load();
    fitToText();
}

void FrmAbout::fitToText()
{
    // The design size, made taller where the page or the credits would cut
    // their text short (a larger font, a longer description).
    const int width = TwipsToPixels(5820);
    const int designHeight = TwipsToPixels(5055);
    const int pageNeeded = picAbout->layout()->heightForWidth(picAbout->width());
    const int pageShort = qMax(0, pageNeeded - picAbout->height());
    const int creditsHeight = qMax(34, lblCredits->heightForWidth(width - 16));
    const int height = designHeight + pageShort + creditsHeight - 34;
    setFixedSize(width, height);
    cTabControl1->setGeometry(8, 38, width - 16, height - 38 - 52 - creditsHeight);
    lblCredits->setGeometry(8, height - 48 - creditsHeight, width - 16, creditsHeight);
    lblCompanySite->setGeometry(8, height - 44, width - 120, 20);
    cmdOk->setGeometry(width - 100, height - 40, 92, 28);
    placePage();
}

void FrmAbout::makeLink(QLabel* l)
{
    QFont f = l->font();
    f.setUnderline(true);
    l->setFont(f);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::Link));
    l->setPalette(p);
    l->setCursor(Qt::PointingHandCursor);
    l->installEventFilter(this);
}

void FrmAbout::Form_Load()
{
    ApplyCommonLook(this, picTitle, lblTitle);

    const QString nameAndVersion = g_sAppName + " " + g_sAppVersion;
    lblAppName->setText(nameAndVersion);
    lblTitle->setText(nameAndVersion);

    lblHomePage->setText(nameAndVersion + " - Home Page");
    lblSite->setText(g_sAppHomePage);
    lblVersionInside->setText(lblVersionInside->text() + " " + g_sAppVersionFull);
    lblDesc->setText(g_sAppDescription);

    lblHomePage->setProperty(kLinkProperty, g_sAppWebRoot);
    lblSite->setProperty(kLinkProperty, g_sAppHomePage);
    lblProducts->setProperty(kLinkProperty, g_sAppHomePage + "/products.html");
    lblSupport->setProperty(kLinkProperty, g_sAppSupportPage);
    lblDeveloper->setProperty(kLinkProperty, QString::fromLatin1(kComponentsSite));

    lblCredits->setText(g_sAppName + " is made by " + g_sAppCompany +
                        ". Audio and disc work: Qt, FFmpeg, LAME, libcdio, libburn, libcddb and espeak-ng.");
    lblCompanySite->setText(g_sAppHomePage);
    lblCompanySite->setProperty(kLinkProperty, g_sAppHomePage);

    MainWindowServices* main = mainWindow();
    cTabControl1->setImageList(main ? main->imgMenu : nullptr);
    cTabControl1->AddTab(QStringLiteral("About   "), 18, true, QStringLiteral("About"));
    placePage();
    picAbout->hide();
    picAbout->show();
}

void FrmAbout::placePage()
{
    // Over the tab's client area, widened by 50 twips to the left.
    picAbout->setGeometry(TwipsToPixels(cTabControl1->ClientLeft() - 50), TwipsToPixels(cTabControl1->ClientTop()),
                          TwipsToPixels(cTabControl1->ClientWidth() + 50), TwipsToPixels(cTabControl1->ClientHeight()));
    picAbout->raise();
}

void FrmAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    placePage();
}

void FrmAbout::cTabControl1_TabClick(int lTab)
{
    Q_UNUSED(lTab);
    picAbout->hide();
    if (cTabControl1->TabKey(cTabControl1->SelectedTab()) == QLatin1String("About"))
        picAbout->show();
}

QString FrmAbout::linkTarget(const QLabel* l) const
{
    return l ? l->property(kLinkProperty).toString() : QString();
}

bool FrmAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* l = qobject_cast<QLabel*>(watched);
        const auto* me = static_cast<QMouseEvent*>(event);
        if (l && me->button() == Qt::LeftButton && l->rect().contains(me->position().toPoint())) {
            const QString target = linkTarget(l);
            if (!target.isEmpty())
                ShellOpen(this, target);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

FrmAbout* frmAbout()
{
    if (!windowRef())
        windowRef() = new FrmAbout(nullptr);
    return windowRef();
}

bool frmAboutLoaded()
{
    return !windowRef().isNull();
}
