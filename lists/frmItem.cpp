#include "lists/frmItem.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <thread>

#include "components/audio/cAudioConverter.h"
#include "components/controls/cDateTimePick.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cImageList.h"
#include "components/controls/cTabControl.h"
#include "core/CommonLook.h"
#include "core/MainWindowServices.h"
#include "core/PathNames.h"
#include "core/SourceFormat.h"
#include "core/TimeText.h"
#include "core/ToolFrameServices.h"
#include "core/WindowHelpers.h"
#include "lists/ItemRow.h"
#include "lists/ListFile.h"
#include "lists/NameBox.h"
#include "platform/MessageBox.h"
#include "settings/SettingsWidgets.h"
#include "settings/frmOptions.h"

namespace {

QPointer<FrmItem>& windowRef()
{
    static QPointer<FrmItem> p;
    return p;
}

cGrid* itemsGrid()
{
    MainWindowServices* w = mainWindow();
    return w ? w->cGrid1 : nullptr;
}

QLabel* label(QWidget* parent, const char* name, const QString& text)
{
    auto* l = new QLabel(text, parent);
    if (name)
        l->setObjectName(QString::fromLatin1(name));
    l->setTextFormat(Qt::PlainText);
    return l;
}

template <class T> T* named(T* w, const char* name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QString blanks(int n) { return QString(n, QLatin1Char(' ')); }

} // namespace

QTime TimeOfDayFromText(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,2}):(\\d{1,2}):(\\d{1,2})\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return QTime();
    return QTime(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
}

FrmItem::FrmItem(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("g_frmItem"));
    setWindowTitle(QStringLiteral("Item Properties"));
    const int width = TwipsToPixels(7500);
    const int height = TwipsToPixels(6600);
    setFixedSize(width, height);

    BuildTitleStrip(this, QStringLiteral("App Name"), picTitle, lblTitle);
    picTitle->setGeometry(0, 0, width, 30);
    lblTitle->setTextFormat(Qt::PlainText);

    cTabControl1 = named(new cTabControl(this), "cTabControl1");
    cTabControl1->setGeometry(8, 38, width - 16, height - 38 - 48);

    // --- Item Information
    TabInfo = named(new QWidget(this), "TabInfo");
    {
        auto* g = new QGridLayout(TabInfo);
        g->setContentsMargins(16, 12, 12, 8);
        g->addWidget(label(TabInfo, nullptr, QStringLiteral("Item Name")), 0, 0);
        txtItemName = named(new QLineEdit(TabInfo), "txtItemName");
        new NameKeyFilter(txtItemName);
        g->addWidget(txtItemName, 0, 1);
        lblFileName = named(new LinkLabel(QStringLiteral("filename"), TabInfo), "lblFileName");
        lblFileName->setToolTip(QStringLiteral("Open file with external player"));
        lblPath = named(new LinkLabel(QString(), TabInfo), "lblPath");
        lblPath->setToolTip(QStringLiteral("Open directory"));
        lblTotalTime = label(TabInfo, "lblTotalTime", QStringLiteral("Total Time:"));
        lblTotalSize = label(TabInfo, "lblTotalSize", QStringLiteral("Total Size:"));
        lblCreated = label(TabInfo, "lblCreated", QStringLiteral("Created:"));
        lblFormat = label(TabInfo, "lblFormat", QStringLiteral("Format:"));
        lblSamples = label(TabInfo, "lblSamples", QStringLiteral("44100"));
        lblBitrate = label(TabInfo, "lblBitrate", QStringLiteral("16"));
        lblChannels = label(TabInfo, "lblChannels", QStringLiteral("STEREO"));
        const std::pair<const char*, QLabel*> rows[] = {
            {"File Name", lblFileName}, {"Location", lblPath}, {"Total Time", lblTotalTime},
            {"Total Size", lblTotalSize}, {"Created", lblCreated}, {"Format", lblFormat},
            {"Samples", lblSamples}, {"Bitrate", lblBitrate}, {"Channels", lblChannels}};
        int r = 1;
        for (const auto& [caption, value] : rows) {
            g->addWidget(label(TabInfo, nullptr, QString::fromLatin1(caption)), r, 0);
            value->setMinimumWidth(1);
            g->addWidget(value, r, 1);
            ++r;
        }
        g->setColumnStretch(1, 1);
        g->setRowStretch(r, 1);
    }

    // --- Range To Process
    TabRange = named(new QWidget(this), "TabRange");
    {
        auto* v = new QVBoxLayout(TabRange);
        v->setContentsMargins(16, 12, 12, 8);
        ptnAllFile = named(new QRadioButton(QStringLiteral("Process all the file range"), TabRange), "ptnAllFile");
        ptnConvertByTime =
            named(new QRadioButton(QStringLiteral("Process range by time"), TabRange), "ptnConvertByTime");
        ptnAllFile->setChecked(true);
        v->addWidget(ptnAllFile);
        v->addWidget(ptnConvertByTime);
        auto* g = new QGridLayout;
        g->setContentsMargins(20, 4, 0, 0);
        Label20 = label(TabRange, "Label20", QStringLiteral("Start after:"));
        Label21 = label(TabRange, "Label21", QStringLiteral("Until:"));
        dtStartAfter = named(new cDateTimePick(TabRange), "dtStartAfter");
        dtUntil = named(new cDateTimePick(TabRange), "dtUntil");
        cmdGoTSoStart = named(new QPushButton(QStringLiteral("<<"), TabRange), "cmdGoTSoStart");
        cmdGoTSoStart->setToolTip(QStringLiteral("Go to start"));
        cmdGoToEnd = named(new QPushButton(QStringLiteral(">>"), TabRange), "cmdGoToEnd");
        cmdGoToEnd->setToolTip(QStringLiteral("Go to end"));
        for (QPushButton* b : {cmdGoTSoStart, cmdGoToEnd}) {
            b->setAutoDefault(false);
            b->setFixedWidth(32);
        }
        g->addWidget(Label20, 0, 0);
        g->addWidget(dtStartAfter, 0, 1);
        g->addWidget(cmdGoTSoStart, 0, 2);
        g->addWidget(Label21, 1, 0);
        g->addWidget(dtUntil, 1, 1);
        g->addWidget(cmdGoToEnd, 1, 2);
        g->setColumnStretch(3, 1);
        v->addLayout(g);
        v->addStretch(1);
    }

    // --- Destination ID3 Tags
    TabTags = named(new QWidget(this), "TabTags");
    {
        auto* g = new QGridLayout(TabTags);
        g->setContentsMargins(16, 12, 12, 8);
        txtTagArtist = named(new QLineEdit(TabTags), "txtTagArtist");
        txtTagSong = named(new QLineEdit(TabTags), "txtTagSong");
        txtTagAlbum = named(new QLineEdit(TabTags), "txtTagAlbum");
        txtTagGenre = named(new QLineEdit(TabTags), "txtTagGenre");
        txtTagTrack = named(new QLineEdit(TabTags), "txtTagTrack");
        txtTagYear = named(new QLineEdit(TabTags), "txtTagYear");
        txtTagComment = named(new QPlainTextEdit(TabTags), "txtTagComment");
        txtTagComment->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        const std::pair<const char*, QWidget*> rows[] = {
            {"Artist:", txtTagArtist}, {"Song:", txtTagSong},   {"Album:", txtTagAlbum},
            {"Genre:", txtTagGenre},   {"Track:", txtTagTrack}, {"Year:", txtTagYear},
            {"Comment:", txtTagComment}};
        int r = 0;
        for (const auto& [caption, box] : rows) {
            g->addWidget(label(TabTags, nullptr, QString::fromLatin1(caption)), r, 0, Qt::AlignTop);
            g->addWidget(box, r, 1);
            ++r;
        }
        auto* links = new QHBoxLayout;
        lblDefaultID3Tags =
            named(new LinkLabel(QStringLiteral("Default ID3 Tags Options..."), TabTags), "lblDefaultID3Tags");
        lblID3TagParameters = named(new LinkLabel(QStringLiteral("Parameters"), TabTags), "lblID3TagParameters");
        for (LinkLabel* l : {lblDefaultID3Tags, lblID3TagParameters}) {
            l->setToolTip(QStringLiteral("Parameters"));
            links->addWidget(l);
        }
        links->addStretch(1);
        g->addLayout(links, r, 0, 1, 2);
        g->setColumnStretch(1, 1);
    }

    // --- buttons
    auto* buttonRow = new QWidget(this);
    buttonRow->setGeometry(8, height - 44, width - 16, 38);
    auto* b = new QHBoxLayout(buttonRow);
    b->setContentsMargins(0, 0, 0, 0);
    cmdBack = named(new QPushButton(QStringLiteral("<<"), buttonRow), "cmdBack");
    cmdBack->setToolTip(QStringLiteral("Previous item"));
    cmdNext = named(new QPushButton(QStringLiteral(">>"), buttonRow), "cmdNext");
    cmdNext->setToolTip(QStringLiteral("Next item"));
    cmdOk = named(new QPushButton(QStringLiteral("OK"), buttonRow), "cmdOk");
    cmdApply = named(new QPushButton(QStringLiteral("Apply"), buttonRow), "cmdApply");
    cmdExit = named(new QPushButton(QStringLiteral("Exit"), buttonRow), "cmdExit");
    for (QPushButton* p : {cmdBack, cmdNext, cmdOk, cmdApply, cmdExit})
        p->setAutoDefault(false);
    cmdBack->setFixedWidth(36);
    cmdNext->setFixedWidth(36);
    b->addWidget(cmdBack);
    b->addWidget(cmdNext);
    b->addStretch(1);
    b->addWidget(cmdOk);
    b->addWidget(cmdApply);
    b->addWidget(cmdExit);

    cAudioConverter1 = named(new cAudioConverter(this), "cAudioConverter1");

    connect(cTabControl1, &cTabControl::TabClick, this, [this](int lTab) { cTabControl1_TabClick(lTab); });
    connect(ptnAllFile, &QRadioButton::clicked, this, [this] { CheckRangeByTimeEna(); });
    connect(ptnConvertByTime, &QRadioButton::clicked, this, [this] { CheckRangeByTimeEna(); });
    connect(dtStartAfter, &cDateTimePick::PickerChange, this, [this] { pickerChanged(dtStartAfter); });
    connect(dtUntil, &cDateTimePick::PickerChange, this, [this] { pickerChanged(dtUntil); });
    connect(cmdGoTSoStart, &QPushButton::clicked, this, &FrmItem::cmdGoTSoStart_Click);
    connect(cmdGoToEnd, &QPushButton::clicked, this, &FrmItem::cmdGoToEnd_Click);
    connect(cmdNext, &QPushButton::clicked, this, &FrmItem::cmdNext_Click);
    connect(cmdBack, &QPushButton::clicked, this, &FrmItem::cmdBack_Click);
    connect(cmdOk, &QPushButton::clicked, this, &FrmItem::cmdOk_Click);
    connect(cmdApply, &QPushButton::clicked, this, &FrmItem::cmdApply_Click);
    connect(cmdExit, &QPushButton::clicked, this, &FrmItem::cmdExit_Click);
    connect(lblFileName, &LinkLabel::clicked, this, &FrmItem::lblFileName_Click);
    connect(lblPath, &LinkLabel::clicked, this, &FrmItem::lblPath_Click);
    connect(lblDefaultID3Tags, &LinkLabel::clicked, this, &FrmItem::lblDefaultID3Tags_Click);
    connect(lblID3TagParameters, &LinkLabel::clicked, this, &FrmItem::lblID3TagParameters_Click);

    Form_Load();
}

void FrmItem::Form_Load()
{
    SetFormIcon(this, QStringLiteral("document_music"), true);
    ApplyCommonLook(this, picTitle, lblTitle);

    MainWindowServices* w = mainWindow();
    cTabControl1->setImageList(w ? w->imgMenu : nullptr);
    cTabControl1->AddTab(QStringLiteral("Item Information"), 39, true, QStringLiteral("Item Information"));
    cTabControl1->AddTab(QStringLiteral("Range To Process"), 23, true, QStringLiteral("Range"));
    cTabControl1->AddTab(QStringLiteral("Destination ID3 Tags") + blanks(2), 18, true, QStringLiteral("ID3 Tags"));
    placePages();
    HideTabPages();
    TabInfo->show();

    cGrid* grid = itemsGrid();
    lItem = grid ? grid->SelectedRow() : 0;
    l_lGridRowNum = lItem;

    GetFileInfo();
    CheckRangeByTimeEna();
    GetRangeOptions();
    SetIDvTags();

    const long rows = grid ? grid->RowCount() : 0;
    cmdNext->setEnabled(lItem < rows);
    cmdBack->setEnabled(lItem > 1);
}

void FrmItem::placePages()
{
    // Over the tab's client area, widened by 50 twips to the left.
    const int left = cTabControl1->ClientLeft() - 50;
    for (QWidget* page : {TabInfo, TabRange, TabTags}) {
        page->setGeometry(TwipsToPixels(left), TwipsToPixels(cTabControl1->ClientTop()),
                          TwipsToPixels(cTabControl1->ClientWidth() + 50), TwipsToPixels(cTabControl1->ClientHeight()));
        page->raise();
    }
}

void FrmItem::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    placePages();
}

void FrmItem::closeEvent(QCloseEvent* event)
{
    event->accept();
    m_bUnloaded = true;
    deleteLater();
}

void FrmItem::reject() { close(); }

QString FrmItem::cell(const QString& key) const
{
    cGrid* grid = itemsGrid();
    return grid ? grid->CellText(int(lItem), grid->ColumnIndex(key)) : QString();
}

void FrmItem::setCell(const QString& key, const QString& text)
{
    if (cGrid* grid = itemsGrid())
        grid->setCellText(int(lItem), grid->ColumnIndex(key), text);
}

void FrmItem::GetFileInfo()
{
    lblTitle->setText(cell(COL_ITEM_NAME));
    const QString path = cell(COL_FILE);
    txtItemName->setText(cell(COL_ITEM_NAME));
    lblFileName->setText(GetFileNameFromPath(path));
    lblTotalSize->setText(cell(COL_SIZE));
    lblTotalTime->setText(cell(COL_TIME));
    lblCreated->setText(cell(COL_CREATED));
    lblFormat->setText(GetExtension(path).toUpper());
    lblPath->setText(GetFolderOfFile(path));
    ReadFileFormat(path);

    dtStartAfter->setPickerTime(QTime(0, 0));
    const QTime length = TimeOfDayFromText(cell(COL_TIME));
    if (length.isValid())
        dtUntil->setPickerTime(length);
}

void FrmItem::ReadFileFormat(const QString& path)
{
    // Read on a thread of its own, so a file on a stalled mount never holds
    // the dialog; only the read of the row shown last fills the labels.
    const quint64 read = ++m_formatRead;
    m_bFormatPending = true;
    QPointer<FrmItem> self(this);
    std::thread([self, read, path] {
        const SourceFormat format = ReadSourceFormat(path);
        QMetaObject::invokeMethod(
            qApp,
            [self, read, format] {
                if (self && read == self->m_formatRead)
                    self->ShowFileFormat(format);
            },
            Qt::QueuedConnection);
    }).detach();
}

void FrmItem::ShowFileFormat(const SourceFormat& format)
{
    m_bFormatPending = false;
    // A file that cannot be read leaves its labels as they were.
    if (!format.ok())
        return;
    lblSamples->setText(QString::number(format.sampleRate));
    lblBitrate->setText(QString::number(format.bitsPerSample));
    lblChannels->setText(format.channels == 1 ? QStringLiteral("MONO") : QStringLiteral("STEREO"));
}

void FrmItem::SetIDvTags()
{
    txtTagAlbum->setText(cell(COL_TAG_ALBUM));
    txtTagArtist->setText(cell(COL_TAG_ARTIST));
    txtTagComment->setPlainText(cell(COL_TAG_COMMENT));
    txtTagGenre->setText(cell(COL_TAG_GEN));
    txtTagSong->setText(cell(COL_TAG_TITLE));
    txtTagTrack->setText(cell(COL_TAG_TRACK));
    txtTagYear->setText(cell(COL_TAG_YEAR));
}

void FrmItem::GetRangeOptions()
{
    if (cell(COL_RANGE_ALL) == QLatin1String("1")) {
        ptnAllFile->setChecked(true);
        CheckRangeByTimeEna();
    }
    const QString start = cell(COL_RANGE_START_TIME);
    if (start.isEmpty())
        return;
    ptnConvertByTime->setChecked(true);
    CheckRangeByTimeEna();
    bool okStart = false, okLength = false;
    const double startValue = start.trimmed().toDouble(&okStart);
    const double lengthValue = cell(COL_RANGE_LENGTH_TIME).trimmed().toDouble(&okLength);
    if (!okStart)
        return;
    // A time of 24 hours or more cannot be shown: the picker keeps its value.
    const QTime from = TimeOfDayFromText(SecondsToTimeText(int(RoundHalfEven(startValue))));
    if (from.isValid())
        dtStartAfter->setPickerTime(from);
    if (!okLength)
        return;
    const QTime until = TimeOfDayFromText(SecondsToTimeText(int(RoundHalfEven(startValue + lengthValue))));
    if (until.isValid())
        dtUntil->setPickerTime(until);
}

void FrmItem::CheckRangeByTimeEna()
{
    const bool on = ptnConvertByTime->isChecked();
    dtStartAfter->setPickerEnabled(on);
    dtUntil->setPickerEnabled(on);
    cmdGoTSoStart->setEnabled(on);
    cmdGoToEnd->setEnabled(on);
    Label20->setEnabled(on);
    Label21->setEnabled(on);
}

void FrmItem::pickerChanged(cDateTimePick* picker)
{
    const QTime length = TimeOfDayFromText(lblTotalTime->text());
    if (length.isValid() && picker->PickerTime() > length)
        picker->setPickerTime(length);
}

void FrmItem::HideTabPages()
{
    TabInfo->hide();
    TabRange->hide();
    TabTags->hide();
}

void FrmItem::cTabControl1_TabClick(int lTab)
{
    Q_UNUSED(lTab);
    HideTabPages();
    const QString key = cTabControl1->TabKey(cTabControl1->SelectedTab());
    if (key == QLatin1String("Item Information"))
        TabInfo->show();
    else if (key == QLatin1String("Range"))
        TabRange->show();
    else if (key == QLatin1String("ID3 Tags"))
        TabTags->show();
}

void FrmItem::ShowGridRow(long& row)
{
    cGrid* grid = itemsGrid();
    if (!grid || row == 0 || row > grid->RowCount() || row < 0)
        return;
    grid->setSelectedRow(int(row));
    lItem = row;
    GetFileInfo();
    SetIDvTags();
    CheckRangeByTimeEna();
    GetRangeOptions();
    cmdNext->setEnabled(l_lGridRowNum < grid->RowCount());
    cmdBack->setEnabled(l_lGridRowNum > 1);
}

void FrmItem::cmdNext_Click()
{
    ++l_lGridRowNum;
    ShowGridRow(l_lGridRowNum);
}

void FrmItem::cmdBack_Click()
{
    --l_lGridRowNum;
    ShowGridRow(l_lGridRowNum);
}

int FrmItem::ApplyItemChanges()
{
    const QString name = txtItemName->text().trimmed();
    txtItemName->setText(name);
    if (name.isEmpty()) {
        MsgBox(QStringLiteral("Empty Item Name.") + blanks(42), vbInformation | vbOKOnly, QString(), this);
        txtItemName->setFocus();
        return -1;
    }
    if (!IsValidFileName(name)) {
        MsgBox(QStringLiteral("Illegal Item Name.") + blanks(42), vbInformation | vbOKOnly, QString(), this);
        txtItemName->setFocus();
        int keyAscii = '?';
        FilterIllegalNameKey(txtItemName, keyAscii);
        return -1;
    }
    // A text holding list markup would not read back as typed: say so here.
    const std::pair<QWidget*, QString> typed[] = {
        {txtItemName, name},
        {txtTagAlbum, txtTagAlbum->text()},
        {txtTagArtist, txtTagArtist->text()},
        {txtTagComment, txtTagComment->toPlainText()},
        {txtTagGenre, txtTagGenre->text()},
        {txtTagSong, txtTagSong->text()},
        {txtTagTrack, txtTagTrack->text()},
        {txtTagYear, txtTagYear->text()},
    };
    for (const auto& [box, text] : typed)
        if (!CheckItemsListText(text, this)) {
            box->setFocus();
            return -1;
        }
    const bool bByTime = ptnConvertByTime->isChecked();
    const int start = TimeTextToSeconds(dtStartAfter->PickerTime().toString(QStringLiteral("HH:mm:ss")));
    const int end = TimeTextToSeconds(dtUntil->PickerTime().toString(QStringLiteral("HH:mm:ss")));
    if (bByTime && start >= end) {
        MsgBox(QStringLiteral("'Start after' field is more or an equel to the 'Until' field.") + blanks(9),
               vbInformation | vbOKOnly, QString(), this);
        return 1;
    }

    setCell(COL_ITEM_NAME, name);
    if (bByTime) {
        setCell(COL_RANGE_ALL, QStringLiteral("0"));
        setCell(COL_RANGE_START_TIME, QString::number(start));
        setCell(COL_RANGE_LENGTH_TIME, QString::number(end - start));
        setCell(COL_RANGE, RangeCellText(start, end - start));
    } else {
        setCell(COL_RANGE_ALL, QStringLiteral("1"));
        setCell(COL_RANGE_START_TIME, QString());
        setCell(COL_RANGE_LENGTH_TIME, QString());
        setCell(COL_RANGE, QStringLiteral("All"));
    }
    setCell(COL_TAG_ALBUM, txtTagAlbum->text());
    setCell(COL_TAG_ARTIST, txtTagArtist->text());
    setCell(COL_TAG_COMMENT, txtTagComment->toPlainText());
    setCell(COL_TAG_GEN, txtTagGenre->text());
    setCell(COL_TAG_TITLE, txtTagSong->text());
    setCell(COL_TAG_TRACK, txtTagTrack->text());
    setCell(COL_TAG_YEAR, txtTagYear->text());
    SaveGridToFile();
    return 0;
}

void FrmItem::cmdOk_Click()
{
    if (ApplyItemChanges() == 0)
        close();
}

void FrmItem::cmdApply_Click() { ApplyItemChanges(); }

void FrmItem::cmdExit_Click() { close(); }

void FrmItem::cmdGoTSoStart_Click() { dtStartAfter->setPickerTime(QTime(0, 0)); }

void FrmItem::cmdGoToEnd_Click()
{
    const QTime length = TimeOfDayFromText(lblTotalTime->text());
    if (length.isValid())
        dtUntil->setPickerTime(length);
}

void FrmItem::lblFileName_Click()
{
    cGrid* grid = itemsGrid();
    if (!grid)
        return;
    const QString path = grid->CellText(grid->SelectedRow(), grid->ColumnIndex(COL_FILE));
    if (!path.isEmpty())
        ShellOpen(this, path);
}

void FrmItem::lblPath_Click()
{
    if (!lblPath->text().isEmpty())
        ShellOpen(this, lblPath->text());
}

void FrmItem::lblDefaultID3Tags_Click()
{
    // The default tags apply to new items: this row's boxes are not refilled.
    FrmOptions* options = frmOptions();
    options->ShowPage(QStringLiteral("ID3 Tags"));
    options->exec();
}

void FrmItem::lblID3TagParameters_Click() { ShowProgParameters(1, this); }

FrmItem* g_frmItem()
{
    if (!windowRef() || windowRef()->m_bUnloaded) {
        MainWindowServices* w = mainWindow();
        windowRef() = new FrmItem(w ? w->Form() : nullptr);
    }
    return windowRef();
}

bool g_frmItemLoaded() { return windowRef() && !windowRef()->m_bUnloaded; }

void ShowItemDialog()
{
    // Each opening starts afresh.
    if (g_frmItemLoaded())
        delete windowRef().data();
    QPointer<FrmItem> dialog = g_frmItem();
    dialog->exec();
}
