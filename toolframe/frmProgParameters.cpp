#include "toolframe/frmProgParameters.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>

#include "core/CommonLook.h"
#include "core/Edition.h"
#include "core/WindowHelpers.h"

namespace {

QPointer<FrmProgParameters>& windowRef()
{
    static QPointer<FrmProgParameters> p;
    return p;
}

constexpr int kWidth = 480;
constexpr int kHeight = 340;

} // namespace

FrmProgParameters::FrmProgParameters(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName("g_frmProgParameters");
    setWindowTitle(QStringLiteral("Parameters"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kWidth, kHeight);

    BuildTitleStrip(this, QStringLiteral("Parameters"), picTitle, lblTitle);
    picTitle->setGeometry(0, 0, kWidth, 30);

    Label1 = new QLabel(QStringLiteral("Sections:"), this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(12, 42, 70, 22);
    cboSections = new QComboBox(this);
    cboSections->setObjectName("cboSections");
    cboSections->setGeometry(86, 40, 220, 24);
    {
        // No section is chosen until the caller chooses one, so that every
        // choice, the first included, shows its frame.
        const QSignalBlocker block(cboSections);
        cboSections->addItems(
            {QStringLiteral("Execute external application"), QStringLiteral("ID3 Audio Tags"), QStringLiteral("File Name Format")});
        cboSections->setCurrentIndex(-1);
    }

    fraAppNotic = addSection("fraAppNotic", {{"[PROG_NAME]", "The program name."},
                                             {"[PROG_VERSION]", "The version."},
                                             {"[FILE_RECORDED]", "The created file path and name."},
                                             {"[FILE_SIZE]", "The created file size."},
                                             {"[FILE_TIME_LENGTH]", "The created file time length."},
                                             {"[FILE_CREATED]", "The date and time of the file."}});
    fraID3Tags = addSection("fraID3Tags", {{"[PROG_NAME]", "The program name."},
                                           {"[PROG_VERSION]", "The version."},
                                           {"[DATE]", "The creation date of the file."},
                                           {"[TIME]", "The creation time of the file."},
                                           {"[TRACK_NUM]", "The item number."},
                                           {"[YEAR]", "The creation year of the file."},
                                           {"[SOURCE_NAME]", "The source file name."},
                                           {"[ITEM_NAME]", "The item name from the Items List."},
                                           {"[RANGE]", "The processed range."}});
    fraExt = addSection("fraExt", {{"[file_name]", "The file name."},
                                   {"[date]", "The current date."},
                                   {"[time]", "The current time."},
                                   {"[123]", "The track number."},
                                   {"[source_extension]", "The extension of the source file."},
                                   {"[dest_extension]", "The extension of the destination file."},
                                   {"[item_name]", "The item name from the Items List."}});

    cmdOk = new QPushButton(QStringLiteral("OK"), this);
    cmdOk->setObjectName("cmdOk");
    cmdOk->setDefault(true);
    cmdOk->setGeometry(kWidth - 100, kHeight - 38, 88, 28);

    connect(cboSections, &QComboBox::currentIndexChanged, this, [this] { cboSections_Click(); });
    connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
}

QFrame* FrmProgParameters::addSection(const char* name, const QList<QPair<QString, QString>>& lines)
{
    auto* frame = new QFrame(this);
    frame->setObjectName(name);
    frame->setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    frame->hide();
    auto* grid = new QGridLayout(frame);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setVerticalSpacing(2);
    int row = 0;
    for (const auto& line : lines) {
        auto* macro = new QLineEdit(line.first, frame);
        macro->setObjectName("txtParameter");
        macro->setReadOnly(true);
        macro->setFixedWidth(136);
        txtParameter << macro;
        grid->addWidget(macro, row, 0);
        grid->addWidget(new QLabel(QStringLiteral("-"), frame), row, 1);
        auto* description = new QLabel(line.second, frame);
        description->setObjectName("lblDescription");
        grid->addWidget(description, row, 2);
        ++row;
    }
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(row, 1);
    frame->resize(kWidth - 24, kHeight - 120);
    return frame;
}

void FrmProgParameters::Form_Load()
{
    SetBackColor(picTitle, g_lAppColor);
    SetForeColor(lblTitle, g_lTextColor);
    bool ok = false;
    const qint64 back = g_sViewBackColor.toLongLong(&ok);
    if (ok)
        for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(fraAppNotic),
                           static_cast<QWidget*>(fraID3Tags), static_cast<QWidget*>(fraExt)})
            SetBackColor(w, quint32(back));
    SetViewPicture(this, g_sViewFormPicture);
    SetViewPicture(picTitle, g_sViewTitlePicture);

    // The three frames share one spot under the section box.
    const int top = cboSections->y() + cboSections->height() + TwipsToPixels(50);
    fraAppNotic->move(cboSections->x(), top);
    fraID3Tags->move(cboSections->x(), fraAppNotic->y());
    fraExt->move(cboSections->x(), fraAppNotic->y());
    for (QFrame* f : {fraAppNotic, fraID3Tags, fraExt})
        f->resize(width() - cboSections->x() - 12, cmdOk->y() - top - 8);
}

void FrmProgParameters::cboSections_Click()
{
    fraAppNotic->hide();
    fraID3Tags->hide();
    fraExt->hide();
    switch (cboSections->currentIndex()) {
    case 0:
        fraAppNotic->show();
        break;
    case 1:
        fraID3Tags->show();
        break;
    case 2:
        fraExt->show();
        break;
    default:
        break;
    }
}

void FrmProgParameters::cmdOk_Click()
{
    close();
}

void FrmProgParameters::closeEvent(QCloseEvent* event)
{
    m_bUnloaded = true;
    QDialog::closeEvent(event);
}

FrmProgParameters* g_frmProgParameters()
{
    if (!windowRef() || windowRef()->m_bUnloaded) {
        windowRef() = new FrmProgParameters(nullptr);
        windowRef()->Form_Load();
    }
    return windowRef();
}

bool g_frmProgParametersLoaded()
{
    return windowRef() && !windowRef()->m_bUnloaded;
}

void OpenProgParameters(int section)
{
    QPointer<FrmProgParameters> w = g_frmProgParameters();
    w->cboSections->setCurrentIndex(section);
    if (w)
        w->exec();
}
