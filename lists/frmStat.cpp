#include "lists/frmStat.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "components/audio/cAudioConverter.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cProgressBar.h"
#include "components/controls/cStatusBar.h"
#include "core/Formats.h"
#include "core/MainWindowServices.h"
#include "core/OffThreadWait.h"
#include "core/PathNames.h"
#include "core/TimeText.h"
#include "core/WindowHelpers.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "platform/MessageBox.h"
#include "settings/Options.h"

bool g_bCancelAddFiles = false;

namespace {

bool g_bListChangedDuringAdd = false;
bool g_bAddRunning = false;

QPointer<FrmStat>& windowRef()
{
    static QPointer<FrmStat> p;
    return p;
}

// Lets the window paint and take a click on Cancel or its close box.
void yieldOnce() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

// What a row needs of its file, read away from the window's thread.
struct AddedFile {
    bool folder = false;
    bool empty = false;
    bool opened = false;
    int durationMs = 0;
    qint64 bytes = 0;
    QDateTime created;
    QString tags[kTagColumnCount];
};

// Runs on a thread of its own, with a converter of its own: a read left
// behind by Cancel may end after the window has gone.
void readAddedFile(const QString& path, bool supported, bool tagsFromFile, AddedFile* f)
{
    const QFileInfo info(path);
    f->folder = IsFolder(path);
    // A length that cannot be read lets the path on to the converter, which reports it.
    f->empty = info.exists() && info.size() <= 0;
    if (f->folder || f->empty || !supported)
        return;
    cAudioConverter converter;
    f->opened = converter.OpenSourceFile(path) == 0;
    if (!f->opened)
        return;
    f->durationMs = converter.DurationMs();
    if (tagsFromFile) {
        converter.ReadTags(path);
        const QString tags[kTagColumnCount] = {converter.TagAlbum(), converter.TagArtist(), converter.TagComment(),
                                               converter.TagGenre(), converter.TagYear(),   converter.TagTitle(),
                                               converter.TagTrack()};
        for (int t = 0; t < kTagColumnCount; ++t)
            f->tags[t] = tags[t];
    }
    // Every file opened here is closed again before the next one.
    converter.CloseSourceFile();
    f->bytes = info.size();
    f->created = GetFileCreatedDate(path);
}

} // namespace

FrmStat::FrmStat(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("g_frmStat"));
    setWindowTitle(QStringLiteral("Add Files"));
    setModal(false);
    setFixedSize(TwipsToPixels(6375), TwipsToPixels(1800));

    auto* root = new QVBoxLayout(this);
    lblStat = new QLabel(QStringLiteral("Adding"), this);
    lblStat->setObjectName(QStringLiteral("lblStat"));
    lblStat->setTextFormat(Qt::PlainText);
    lblStat->setMinimumWidth(1);
    root->addWidget(lblStat);

    cProgressBar1 = new cProgressBar(this);
    cProgressBar1->setObjectName(QStringLiteral("cProgressBar1"));
    root->addWidget(cProgressBar1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    buttons->addWidget(cmdCancel);
    root->addLayout(buttons);

    cAudioConverter1 = new cAudioConverter(this);
    cAudioConverter1->setObjectName(QStringLiteral("cAudioConverter1"));

    connect(cmdCancel, &QPushButton::clicked, this, &FrmStat::cmdCancel_Click);
    Form_Load();
}

FrmStat::~FrmStat() = default;

void FrmStat::Form_Load()
{
    SetFormIcon(this, QStringLiteral("replace2"), true);
    g_bCancelAddFiles = false;
}

void FrmStat::Form_Unload()
{
    if (m_bUnloaded)
        return;
    m_bUnloaded = true;
    cAudioConverter1->ReleaseComponent();
    cmdCancel_Click();
}

void FrmStat::cmdCancel_Click()
{
    g_bCancelAddFiles = true;
    m_read.stop();
}

void FrmStat::reject() { close(); }

void FrmStat::closeEvent(QCloseEvent* event)
{
    event->accept();
    Form_Unload();
    // While the loop runs it still uses the window: it goes once the loop is over.
    if (!m_bRunning)
        deleteLater();
}

bool FrmStat::SupportAudioFile(const QString& sFileName) const
{
    const QString ext = GetLastExtension(sFileName).toLower();
    return GetAudioFilesFilter().toLower().contains(ext);
}

QString FrmStat::getLegaName(const QString& sPath) const
{
    QString s = sPath;
    for (const QChar c : {QChar(':'), QChar('?'), QChar('<'), QChar('>'), QChar('\\'), QChar('/'), QChar('*'),
                          QChar('|')}) {
        const qsizetype at = s.indexOf(c);
        if (at >= 0)
            s.remove(at, 1);
    }
    return s;
}

void FrmStat::AddFilesToList(const QStringList& Data, cGrid* cGrid1, QWidget* frm, bool bHide)
{
    Q_UNUSED(bHide);
    QPointer<cGrid> grid(cGrid1);
    g_bListChangedDuringAdd = false;
    if (!grid || m_bUnloaded || g_bAddRunning)
        return;
    // Rows added to a list that cannot be saved would vanish at its next load.
    if (MainWindowServices* w = mainWindow(); w && grid == w->cGrid1 && RefuseReadOnlyListEdit())
        return;
    m_bRunning = true;
    g_bAddRunning = true;
    const QString startList = ShownListPath();

    if (frm && parentWidget() != frm)
        setParent(frm, windowFlags());
    // Modal: the yields below must not let a click show another list.
    setWindowModality(Qt::ApplicationModal);
    show();

    cProgressBar1->setProgressMin(1);
    cProgressBar1->setProgressMax(long(Data.size()) + 1);
    cProgressBar1->setProgressValue(1);

    grid->setRedraw(false);
    const int baseRow = grid->RowCount();
    int added = 0;

    const int cInc = grid->ColumnIndex(COL_INC), cType = grid->ColumnIndex(COL_TYPE),
              cName = grid->ColumnIndex(COL_ITEM_NAME), cTime = grid->ColumnIndex(COL_TIME),
              cSize = grid->ColumnIndex(COL_SIZE), cFile = grid->ColumnIndex(COL_FILE),
              cCreated = grid->ColumnIndex(COL_CREATED), cRange = grid->ColumnIndex(COL_RANGE),
              cRangeAll = grid->ColumnIndex(COL_RANGE_ALL), cBytes = grid->ColumnIndex(COL_BYTES_SIZE);

    for (qsizetype i = 0; i < Data.size(); ++i) {
        // One yield per path: a Cancel or a close clicked meanwhile stops here,
        // before the next file is touched.
        yieldOnce();
        if (ShownListPath() != startList) {
            g_bListChangedDuringAdd = true;
            break;
        }
        if (g_bCancelAddFiles || !grid)
            break;
        const QString& path = Data.at(i);

        // Whatever touches the file runs away from this thread: a slow disk, a
        // dead mount or a damaged file never holds the window, and Cancel or
        // the close box answer meanwhile (the file's row is then not added).
        const bool supported = SupportAudioFile(path);
        auto file = std::make_shared<AddedFile>();
        const bool read = m_read.run([file, path, supported, tagsFromFile = g_bCopyID3FromSource] {
            readAddedFile(path, supported, tagsFromFile, file.get());
        });
        if (ShownListPath() != startList) {
            g_bListChangedDuringAdd = true;
            break;
        }
        if (!read || !grid)
            break;

        const auto cannotAdd = [&] {
            MsgBox(QStringLiteral("Cannot add ") + path, vbInformation | vbOKOnly, QString(),
                   isVisible() ? static_cast<QWidget*>(this) : frm);
        };
        if (file->folder || file->empty) {
            // Nothing to probe, but the user asked for it: say so rather than drop it silently.
            cannotAdd();
        } else if (supported) {
            const int row = baseRow + added + 1;
            if (!file->opened) {
                cannotAdd();
            } else {
                QString tags[kTagColumnCount];
                if (g_bCopyID3FromSource) {
                    for (int t = 0; t < kTagColumnCount; ++t)
                        tags[t] = file->tags[t];
                } else {
                    const QString* defaults[kTagColumnCount] = {&g_sTagAlbum, &g_sTagArtist, &g_sTagComment,
                                                                &g_sTagGenre, &g_sTagYear,   &g_sTagSong,
                                                                &g_sTagTrack};
                    for (int t = 0; t < kTagColumnCount; ++t)
                        tags[t] = *defaults[t];
                }

                ++added;
                const QString caption = QStringLiteral("Adding ") + path;
                lblStat->setText(caption);
                setWindowTitle(caption);

                const qint64 bytes = file->bytes;
                grid->SetCell(row, cInc, QVariant(), kIconCellFormat, kIconMarked);
                grid->SetCell(row, cType, QString(), kIconCellFormat, kIconAudio);
                grid->SetCell(row, cName, getLegaName(GetFileNameFromPath(path)));
                grid->SetCell(row, cTime, TimeCellText(RoundHalfEven(file->durationMs / 1000.0)));
                grid->SetCell(row, cSize, FormatFileSize(double(bytes)));
                grid->SetCell(row, cFile, path);
                grid->SetCell(row, cCreated, file->created);
                grid->SetCell(row, cRange, QStringLiteral("All"));
                grid->SetCell(row, cRangeAll, QStringLiteral("1"));
                grid->SetCell(row, cBytes, bytes);
                for (int t = 0; t < kTagColumnCount; ++t)
                    grid->SetCell(row, grid->ColumnIndex(TagColumnKey(t)), tags[t]);
            }
        }
        cProgressBar1->setProgressValue(long(i) + 1);
    }

    if (grid && g_bListChangedDuringAdd) {
        grid->setRedraw(true);
    } else if (grid) {
        grid->setRedraw(true);
        MainWindowServices* w = mainWindow();
        if (grid->RowCount() > 0) {
            grid->setSelectedRow(g_bSelectTheLastItem ? grid->RowCount() : 1);
            GetFileInfoToGridInfo();
            grid->setSelectedCol(2);
            if (w && w->picEmptyMsg)
                w->picEmptyMsg->hide();
            if (w && w->cStatusBar1) {
                w->cStatusBar1->setPanelText(QStringLiteral("Items List Properties"),
                                             QString::number(grid->RowCount()) + QStringLiteral(" Items."));
                w->cStatusBar1->setPanelText(QStringLiteral("Main"), QStringLiteral("Ready."));
            }
        } else if (w && w->picEmptyMsg) {
            w->picEmptyMsg->show();
        }
    }

    m_bRunning = false;
    g_bAddRunning = false;
    // The window unloads itself, also when the user already closed it.
    hide();
    Form_Unload();
    deleteLater();
}

bool ListChangedDuringAdd() { return g_bListChangedDuringAdd; }
bool AddFilesRunning() { return g_bAddRunning; }

FrmStat* g_frmStat()
{
    if (!windowRef() || windowRef()->m_bUnloaded) {
        MainWindowServices* w = mainWindow();
        windowRef() = new FrmStat(w ? w->Form() : nullptr);
    }
    return windowRef();
}

bool g_frmStatLoaded() { return windowRef() && !windowRef()->m_bUnloaded; }

void UnloadStat()
{
    if (g_frmStatLoaded())
        windowRef()->close();
}
