#include "settings/frmAudioProp.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <memory>

#include "components/audio/cAudioConverter.h"
#include "components/controls/cImageList.h"
#include "components/controls/cTabControl.h"
#include "core/CommonLook.h"
#include "core/Dialogs.h"
#include "core/Edition.h"
#include "core/Formats.h"
#include "core/SourceFormat.h"
#include "core/Startup.h"
#include "core/WindowHelpers.h"
#include "platform/Colors.h"
#include "platform/DoEvents.h"
#include "platform/MessageBox.h"
#include "settings/AppState.h"
#include "settings/FormatSettings.h"
#include "settings/SettingsWidgets.h"
#include "settings/StoredValues.h"
#include "settings/frmOptions.h"

namespace {

QPointer<FrmAudioProp>& ref()
{
    static QPointer<FrmAudioProp> p;
    return p;
}

constexpr int kPcmTag = 1;
constexpr int kAcmConvertFlag = 0x100000;

QComboBox* newList(const char* name, const QStringList& entries, QWidget* parent)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    c->addItems(entries);
    c->setCurrentIndex(-1);
    return c;
}

QCheckBox* newCheck(const char* name, const QString& caption, QWidget* parent)
{
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromLatin1(name));
    return c;
}

QFrame* newPage(const char* name, QWidget* parent)
{
    auto* f = new QFrame(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setAutoFillBackground(true);
    return f;
}

// A caption just above its list.
QWidget* captioned(const QString& caption, QWidget* list, QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    v->addWidget(new QLabel(caption, box));
    v->addWidget(list);
    return box;
}

// Keeps the list in alphabetical order, as a sorted list box does.
void addSorted(QComboBox* list, const QString& text)
{
    int i = 0;
    while (i < list->count() && QString::compare(list->itemText(i), text, Qt::CaseInsensitive) <= 0)
        ++i;
    list->insertItem(i, text);
}

struct TabInfo {
    const char* key;
    const char* title;
    const char* description;
};

const TabInfo kTabs[] = {
    {"WAV", "WAV -", "Waveform audio format"},
    {"ACM", "WAV(ACM) -", "Waveform audio format with ACM codec"},
    {"MP3", "MP3 -", "MPEG-1 Audio Layer 3"},
    {"WMA", "WMA -", "Windows Media Audio"},
    {"OGG", "OGG -", "Ogg Media format"},
    {"APE", "APE -", "Monkey\u2019s Audio file format"},
};

} // namespace

FrmAudioProp::FrmAudioProp(QWidget* parent)
    : QDialog(parent)
{
    setObjectName("g_frmAudioProp");
    setWindowTitle("Audio Format");
    setModal(true);
    buildControls();
    buildTable();
}

FrmAudioProp::~FrmAudioProp() = default;

QStringList FrmAudioProp::formatKeys() { return {"WAV", "ACM", "MP3", "WMA", "OGG", "APE"}; }

void FrmAudioProp::buildControls()
{
    setFixedSize(TwipsToPixels(7800), TwipsToPixels(5730));
    const auto place = [](QWidget* w, int left, int top, int width, int height) {
        w->setGeometry(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
    };

    picTitle = new QWidget(this);
    picTitle->setObjectName("picTitle");
    picTitle->setAutoFillBackground(true);
    place(picTitle, 240, 120, 7335, 375);
    lblTitle = new QLabel("App Name", picTitle);
    lblTitle->setObjectName("lblTitle");
    QFont tf = lblTitle->font();
    tf.setPointSizeF(9.75);
    tf.setBold(true);
    lblTitle->setFont(tf);
    lblTitle->adjustSize();
    lblTitle->move(TwipsToPixels(120), (picTitle->height() - lblTitle->height()) / 2);
    lblFormatDesc = new QLabel("FormatDesc", picTitle);
    lblFormatDesc->setObjectName("lblFormatDesc");
    lblFormatDesc->adjustSize();

    cTabControl1 = new cTabControl(this);
    cTabControl1->setObjectName("cTabControl1");
    place(cTabControl1, 240, 720, 7335, 4215);

    cmdOk = new QPushButton("OK", this);
    cmdOk->setObjectName("cmdOk");
    QFont bold = cmdOk->font();
    bold.setBold(true);
    cmdOk->setFont(bold);
    cmdOk->setDefault(true);
    place(cmdOk, 480, 5160, 1695, 375);
    cmdExit = new QPushButton("Exit", this);
    cmdExit->setObjectName("cmdExit");
    cmdExit->setFont(bold);
    cmdExit->setAutoDefault(false);
    place(cmdExit, 2400, 5160, 1695, 375);

    cAudioConverter1 = new cAudioConverter(this);
    cAudioConverter1->setObjectName("cAudioConverter1");

    // WAV
    froToWAV = newPage("froToWAV", this);
    {
        auto* v = new QVBoxLayout(froToWAV);
        cboSamplesWAV = newList("cboSamplesWAV", formatlists::wavSamples(), froToWAV);
        cboBitrateWAV = newList("cboBitrateWAV", {}, froToWAV);
        cboChannelsWAV = newList("cboChannelsWAV", formatlists::wavChannels(), froToWAV);
        v->addWidget(captioned("Samples:", cboSamplesWAV, froToWAV));
        v->addWidget(captioned("Bitrate:", cboBitrateWAV, froToWAV));
        v->addWidget(captioned("Channels:", cboChannelsWAV, froToWAV));
        v->addStretch();
    }
    // ACM
    froToACM = newPage("froToACM", this);
    {
        auto* v = new QVBoxLayout(froToACM);
        chkBestAccordToSource = newCheck("chkBestAccordToSource",
                                         "Get recommended codecs according to source file format.", froToACM);
        cboTags = newList("cboTags", {}, froToACM);
        cboFormats = newList("cboFormats", {}, froToACM);
        v->addWidget(chkBestAccordToSource);
        v->addWidget(captioned("Target ACM Tag:", cboTags, froToACM));
        v->addWidget(captioned("Target ACM Format:", cboFormats, froToACM));
        v->addStretch();
    }
    // MP3
    froToMP3 = newPage("froToMP3", this);
    {
        auto* v = new QVBoxLayout(froToMP3);
        auto* row = new QHBoxLayout;
        cboMP3Bitrate = newList("cboMP3Bitrate", formatlists::mp3Bitrates(), froToMP3);
        cboMP3Quality = newList("cboMP3Quality", formatlists::mp3Qualities(), froToMP3);
        cboMP3Samplerate = newList("cboMP3Samplerate", formatlists::mp3Samplerates(), froToMP3);
        cboMP3Mode = newList("cboMP3Mode", formatlists::mp3Modes(), froToMP3);
        row->addWidget(captioned("Bitrate:", cboMP3Bitrate, froToMP3));
        row->addWidget(captioned("Quality:", cboMP3Quality, froToMP3));
        row->addWidget(captioned("Samplerate:", cboMP3Samplerate, froToMP3));
        row->addWidget(captioned("Mode:", cboMP3Mode, froToMP3), 1);
        v->addLayout(row);
        lblMP3Advanced = new LinkLabel("Advanced...", froToMP3);
        lblMP3Advanced->setObjectName("lblMP3Advanced");
        lblMP3Advanced->setToolTip("MP3 properties mode.");
        v->addWidget(lblMP3Advanced);

        picMP3Advanced = new QFrame(froToMP3);
        picMP3Advanced->setObjectName("picMP3Advanced");
        picMP3Advanced->setAutoFillBackground(true);
        auto* a = new QVBoxLayout(picMP3Advanced);
        a->setContentsMargins(0, 0, 0, 0);
        auto* flags = new QHBoxLayout;
        chkMP3ErrorProtect = newCheck("chkMP3ErrorProtect", "Error Protection", picMP3Advanced);
        chkMP3Original = newCheck("chkMP3Original", "Original", picMP3Advanced);
        chkMP3Copyright = newCheck("chkMP3Copyright", "Copyright", picMP3Advanced);
        chkMP3StrictISO = newCheck("chkMP3StrictISO", "ISO Encoding", picMP3Advanced);
        for (QCheckBox* c : {chkMP3ErrorProtect, chkMP3Original, chkMP3Copyright, chkMP3StrictISO})
            flags->addWidget(c);
        a->addLayout(flags);
        chkMP3VBR = newCheck("chkMP3VBR", "VBR Mode", picMP3Advanced);
        a->addWidget(chkMP3VBR);
        auto* vbr = new QHBoxLayout;
        cboMP3VBRQuality = newList("cboMP3VBRQuality", formatlists::mp3Qualities(), picMP3Advanced);
        cboMP3MinBitrate = newList("cboMP3MinBitrate", formatlists::mp3Bitrates(), picMP3Advanced);
        cboMP3MaxBitrate = newList("cboMP3MaxBitrate", formatlists::mp3Bitrates(), picMP3Advanced);
        vbr->addWidget(captioned("VBR Quality:", cboMP3VBRQuality, picMP3Advanced));
        vbr->addWidget(captioned("Min VBR Bitrate:", cboMP3MinBitrate, picMP3Advanced));
        vbr->addWidget(captioned("Max VBR Bitrate:", cboMP3MaxBitrate, picMP3Advanced));
        auto* tagChecks = new QVBoxLayout;
        chkMP3VBRTag = newCheck("chkMP3VBRTag", "Write VBR Tag", picMP3Advanced);
        chkMP3VBRForceMinBitrate = newCheck("chkMP3VBRForceMinBitrate", "VBR Force Min Bitrate", picMP3Advanced);
        tagChecks->addWidget(chkMP3VBRTag);
        tagChecks->addWidget(chkMP3VBRForceMinBitrate);
        vbr->addLayout(tagChecks);
        a->addLayout(vbr);
        chkMP3ABR = newCheck("chkMP3ABR", "ABR (Instead of VBR)", picMP3Advanced);
        a->addWidget(chkMP3ABR);
        cboMP3ABRBitrate = newList("cboMP3ABRBitrate", formatlists::mp3Bitrates(), picMP3Advanced);
        auto* abr = new QHBoxLayout;
        abr->addWidget(cboMP3ABRBitrate);
        abr->addStretch();
        a->addLayout(abr);
        v->addWidget(picMP3Advanced);
        v->addStretch();
    }
    // WMA
    froToWMA = newPage("froToWMA", this);
    {
        auto* v = new QVBoxLayout(froToWMA);
        cboWMACodecs = newList("cboWMACodecs", {}, froToWMA);
        cboWMAFormat = newList("cboWMAFormat", {}, froToWMA);
        v->addWidget(captioned("Codec:", cboWMACodecs, froToWMA));
        v->addWidget(captioned("Format:", cboWMAFormat, froToWMA));
        v->addStretch();
    }
    // OGG
    froToOGG = newPage("froToOGG", this);
    {
        auto* v = new QVBoxLayout(froToOGG);
        auto* row = new QHBoxLayout;
        ptnQualityOGG = new QRadioButton("Quality:", froToOGG);
        ptnQualityOGG->setObjectName("ptnQualityOGG");
        ptnQualityOGG->setChecked(true);
        lblSensitivityVal = new QLabel("100", froToOGG);
        lblSensitivityVal->setObjectName("lblSensitivityVal");
        row->addWidget(ptnQualityOGG);
        row->addWidget(lblSensitivityVal);
        row->addStretch();
        v->addLayout(row);
        sldOGG = new QScrollBar(Qt::Horizontal, froToOGG);
        sldOGG->setObjectName("sldOGG");
        sldOGG->setRange(0, 100);
        v->addWidget(sldOGG);
        optOggBit = new QRadioButton("Bitrate:", froToOGG);
        optOggBit->setObjectName("optOggBit");
        v->addWidget(optOggBit);
        cboOggBitNom = newList("cboOggBitNom", formatlists::oggNominalBitrates(), froToOGG);
        v->addWidget(cboOggBitNom);
        v->addStretch();
    }
    // APE
    froToAPE = newPage("froToAPE", this);
    {
        auto* v = new QVBoxLayout(froToAPE);
        cboAPELevel = newList("cboAPELevel", formatlists::apeLevels(), froToAPE);
        v->addWidget(captioned("APE Level:", cboAPELevel, froToAPE));
        v->addStretch();
    }
    for (QFrame* page : {froToWAV, froToACM, froToMP3, froToWMA, froToOGG, froToAPE})
        page->raise();

    connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
    connect(cTabControl1, &cTabControl::TabClick, this, [this](int lTab) { cTabControl1_TabClick(lTab); });
    connect(lblMP3Advanced, &LinkLabel::clicked, this, [this] { lblMP3Advanced_Click(); });
    // Only the dragged thumb updates the value label.
    connect(sldOGG, &QScrollBar::sliderMoved, this,
            [this](int value) { lblSensitivityVal->setText(QString::number(value)); });
    connect(cboTags, &QComboBox::currentIndexChanged, this, [this] { cboTags_Click(); });
    connect(cboWMACodecs, &QComboBox::currentIndexChanged, this, [this] { cboWMACodecs_Click(); });
    connect(chkBestAccordToSource, &QCheckBox::clicked, this, [this] { chkBestAccordToSource_Click(); });
    // The converter reports codecs and formats while it enumerates them.
    connect(cAudioConverter1, &cAudioConverter::ACMFormatTagFound, this,
            [this](const QString& name) { addSorted(cboTags, name); }, Qt::DirectConnection);
    connect(cAudioConverter1, &cAudioConverter::ACMFormatFound, this,
            [this](const QString& name) { cboFormats->addItem(name); }, Qt::DirectConnection);
}

void FrmAudioProp::buildTable()
{
    const QString wav = "Formats\\WAV", acm = "Formats\\ACM", mp3 = "Formats\\MP3", wma = "Formats\\WMA",
                  ogg = "Formats\\OGG", ape = "Formats\\APE";
    m_values = {
        {wav, cboSamplesWAV, Kind::EntryNumber, &g_lSamplesWAV},
        {wav, cboBitrateWAV, Kind::EntryNumber, &g_lBitrateWAV},
        {wav, cboChannelsWAV, Kind::Position, &g_lChannelsWAV},
        {acm, cboTags, Kind::EntryText, &g_sACMTag},
        {acm, cboFormats, Kind::EntryText, &g_sACMFormat},
        {mp3, cboMP3Bitrate, Kind::EntryNumber, &g_lMP3Bitrate},
        {mp3, cboMP3Quality, Kind::EntryNumber, &g_lMP3Quality},
        {mp3, cboMP3Samplerate, Kind::EntryNumber, &g_lMP3Samplerate},
        {mp3, cboMP3Mode, Kind::Position, &g_lMP3Mode},
        {mp3, chkMP3ErrorProtect, Kind::Check, &g_bMP3ErrorProtect},
        {mp3, chkMP3Original, Kind::Check, &g_bMP3Original},
        {mp3, chkMP3Copyright, Kind::Check, &g_bMP3Copyright},
        {mp3, chkMP3StrictISO, Kind::Check, &g_bMP3StrictISO},
        {mp3, cboMP3VBRQuality, Kind::EntryPosition, &g_lMP3VBRQuality},
        {mp3, cboMP3MinBitrate, Kind::EntryPosition, &g_lMP3MinBitrate},
        {mp3, cboMP3MaxBitrate, Kind::EntryPosition, &g_lMP3MaxBitrate},
        {mp3, chkMP3VBRTag, Kind::Check, &g_bMP3VBRTag},
        {mp3, chkMP3VBRForceMinBitrate, Kind::Check, &g_bMP3VBRForceMinBitrate},
        {mp3, chkMP3ABR, Kind::Check, &g_bMP3ABR},
        {mp3, cboMP3ABRBitrate, Kind::EntryNumber, &g_lMP3ABRBitrate},
        {mp3, lblMP3Advanced, Kind::Caption, nullptr},
        {wma, cboWMACodecs, Kind::Position, &g_lWMACodecs},
        {wma, cboWMAFormat, Kind::Position, &g_lWMAFormat},
        {ogg, ptnQualityOGG, Kind::Choice, &g_bQualityOGG},
        {ogg, sldOGG, Kind::Number, &g_lOGGQuality},
        {ogg, optOggBit, Kind::Choice, &g_bOGGBitrate},
        {ogg, cboOggBitNom, Kind::EntryNumber, &g_lOGGBitNom},
        {ape, cboAPELevel, Kind::Position, &g_lAPELevel},
    };
}

void FrmAudioProp::Form_Load()
{
    // 1. Look.
    SetBackColor(picTitle, g_lAppColor);
    SetForeColor(lblTitle, g_lTextColor);
    SetForeColor(lblFormatDesc, g_lTextColor);
    bool ok = false;
    const qint64 back = g_sViewBackColor.trimmed().toLongLong(&ok);
    QList<QWidget*> backed = {this, froToWAV, froToACM, froToMP3, froToWMA, froToOGG, froToAPE, picMP3Advanced};
    if (ok && back >= 0 && back <= 0xFFFFFF) {
        // Check boxes and option buttons are transparent: they show their page's colour.
        for (QWidget* w : backed)
            SetBackColor(w, quint32(back));
    }
    for (QWidget* w : backed)
        SetViewPicture(w, g_sViewFormPicture);
    SetViewPicture(picTitle, g_sViewTitlePicture);
    // 2. A tab for each offered format. The switches are set here too, so
    // that the tabs never depend on which dialog happened to load first.
    SetSupportedDestinations();
    const int switches[] = {g_lDestWAV, g_lDestACM, g_lDestMP3, g_lDestWMA, g_lDestOGG, g_lDestAPE};
    for (int i = 0; i < 6; ++i)
        if (switches[i] == 1)
            cTabControl1->AddTab(kTabs[i].key, -1, true, kTabs[i].key);
    // 3. Pages over the tab strip's client area, widened to the left.
    for (QFrame* page : {froToWAV, froToACM, froToMP3, froToWMA, froToOGG, froToAPE}) {
        const int left = cTabControl1->ClientLeft() - 50;
        page->setGeometry(TwipsToPixels(left), TwipsToPixels(cTabControl1->ClientTop()),
                          TwipsToPixels(cTabControl1->ClientWidth() + 50),
                          TwipsToPixels(cTabControl1->ClientHeight()));
    }
    // 4.
    HideTabPages();
    froToWAV->setVisible(true);
    // 5. WAV.
    cboBitrateWAV->addItem("8");
    cboBitrateWAV->addItem("16");
    cboBitrateWAV->setCurrentIndex(1);
    stored::selectEntry(cboSamplesWAV, "44100");
    cboChannelsWAV->setCurrentIndex(1);
    // 6. WMA.
    FillWMACodecs();
    // 7.
    cboAPELevel->setCurrentIndex(0);
    cboOggBitNom->setCurrentIndex(0);
    sldOGG->setValue(50);
    // 8. MP3.
    stored::selectEntry(cboMP3Bitrate, "128");
    cboMP3Mode->setCurrentIndex(0);
    stored::selectEntry(cboMP3Samplerate, "44100");
    cboMP3Quality->setCurrentIndex(5);
    chkMP3Copyright->setChecked(true);
    chkMP3Original->setChecked(true);
    chkMP3VBR->setChecked(true);
    cboMP3VBRQuality->setCurrentIndex(5);
    stored::selectEntry(cboMP3MaxBitrate, "128");
    stored::selectEntry(cboMP3MinBitrate, "96");
    chkMP3VBRTag->setChecked(true);
    stored::selectEntry(cboMP3ABRBitrate, "96");
    // 9. ACM: every codec that takes CD-quality PCM, "PCM" chosen.
    {
        const QSignalBlocker block(cboTags);
        cboTags->clear();
        cAudioConverter1->EnumACMFormatTags(kPcmTag, 44100, 2, 16, 0);
        cboTags->setCurrentIndex(-1);
        if (cboTags->count() > 0)
            stored::selectEntry(cboTags, "PCM");
    }
    if (cboTags->count() > 0)
        cboTags_Click();
    // 10. The store's registry object.
    m_reg.setHkey(HKEY_LOCAL_MACHINE);
    m_reg.setKeyRoot(MachineKeyRoot());
    // 11, 12.
    GetOptions();
    lblSensitivityVal->setText(QString::number(sldOGG->value()));
}

QFrame* FrmAudioProp::pageForKey(const QString& key) const
{
    const QFrame* pages[] = {froToWAV, froToACM, froToMP3, froToWMA, froToOGG, froToAPE};
    const int i = formatKeys().indexOf(key);
    return i < 0 ? nullptr : const_cast<QFrame*>(pages[i]);
}

void FrmAudioProp::HideTabPages()
{
    for (QFrame* page : {froToWAV, froToACM, froToMP3, froToWMA, froToOGG, froToAPE})
        page->setVisible(false);
}

void FrmAudioProp::cTabControl1_TabClick(int)
{
    HideTabPages();
    const QString key = cTabControl1->TabKey(cTabControl1->SelectedTab());
    const int i = formatKeys().indexOf(key);
    if (i < 0)
        return;
    pageForKey(key)->setVisible(true);
    lblTitle->setText(QString::fromUtf8(kTabs[i].title));
    lblFormatDesc->setText(QString::fromUtf8(kTabs[i].description));
    lblTitle->adjustSize();
    lblFormatDesc->adjustSize();
    lblFormatDesc->move(lblTitle->x() + lblTitle->width() + TwipsToPixels(80),
                        lblTitle->y() + lblTitle->height() - lblFormatDesc->height());
}

void FrmAudioProp::lblMP3Advanced_Click() { ToggleMP3Advanced(); }

void FrmAudioProp::ToggleMP3Advanced()
{
    if (lblMP3Advanced->text() == "Advanced...") {
        picMP3Advanced->setVisible(true);
        lblMP3Advanced->setText("Simple...");
    } else if (lblMP3Advanced->text() == "Simple...") {
        picMP3Advanced->setVisible(false);
        lblMP3Advanced->setText("Advanced...");
    }
}

// ---- The store ----

void FrmAudioProp::readValue(const Value& v)
{
    const QVariant text = m_reg.GetRegistryValue(v.control->objectName());
    switch (v.kind) {
    case Kind::EntryNumber:
    case Kind::EntryText:
    case Kind::EntryPosition: {
        auto* list = static_cast<QComboBox*>(v.control);
        stored::selectEntry(list, text.toString());
        if (v.kind == Kind::EntryText) {
            *static_cast<QString*>(v.variable) = list->currentText();
        } else if (v.kind == Kind::EntryPosition) {
            *static_cast<int*>(v.variable) = list->currentIndex();
        } else if (list->currentIndex() >= 0) {
            // Without a selection the variable keeps what it held.
            bool ok = false;
            const int n = list->currentText().trimmed().toInt(&ok);
            if (ok)
                *static_cast<int*>(v.variable) = n;
        }
        break;
    }
    case Kind::Position: {
        auto* list = static_cast<QComboBox*>(v.control);
        stored::setPosition(list, text);
        *static_cast<int*>(v.variable) = list->currentIndex();
        break;
    }
    case Kind::Check: {
        auto* box = static_cast<QCheckBox*>(v.control);
        stored::setCheckValue(box, text);
        *static_cast<bool*>(v.variable) = stored::checkValue(box) == 1;
        break;
    }
    case Kind::Choice: {
        auto* button = static_cast<QRadioButton*>(v.control);
        stored::setChosen(button, text);
        break; // copied once the whole group has been read
    }
    case Kind::Number: {
        auto* bar = static_cast<QScrollBar*>(v.control);
        stored::setBarValue(bar, text);
        *static_cast<int*>(v.variable) = bar->value();
        break;
    }
    case Kind::Caption:
        // The link remembers whether the advanced panel is open.
        lblMP3Advanced->setText(text.toString());
        if (lblMP3Advanced->text().isEmpty())
            lblMP3Advanced->setText("Advanced...");
        picMP3Advanced->setVisible(lblMP3Advanced->text() != "Advanced...");
        break;
    }
}

QString FrmAudioProp::valueText(const Value& v) const
{
    switch (v.kind) {
    case Kind::EntryNumber:
    case Kind::EntryText:
    case Kind::EntryPosition:
        return static_cast<QComboBox*>(v.control)->currentText();
    case Kind::Position:
        return QString::number(static_cast<QComboBox*>(v.control)->currentIndex());
    case Kind::Check:
        return stored::checkText(static_cast<QCheckBox*>(v.control));
    case Kind::Choice:
        return stored::choiceText(static_cast<QRadioButton*>(v.control));
    case Kind::Number:
        return QString::number(static_cast<QScrollBar*>(v.control)->value());
    case Kind::Caption:
        return lblMP3Advanced->text();
    }
    return QString();
}

void FrmAudioProp::GetOptions()
{
    for (const Value& v : m_values) {
        m_reg.setSubkey(v.subkey);
        readValue(v);
    }
    // The two option buttons form one group: read both before copying.
    g_bQualityOGG = ptnQualityOGG->isChecked();
    g_bOGGBitrate = optOggBit->isChecked();
}

void FrmAudioProp::cmdOk_Click()
{
    // The default format of the Options dialog becomes the format of the open tab.
    frmOptions()->cboTargetFormat->setCurrentIndex(cTabControl1->SelectedTab() - 1);

    QStringList failed;
    for (const Value& v : m_values) {
        m_reg.setSubkey(v.subkey);
        if (!m_reg.SetRegistryValue(v.control->objectName(), valueText(v), REG_SZ) && !failed.contains(m_reg.keyPath()))
            failed << m_reg.keyPath();
    }
    if (!failed.isEmpty()) {
        // Re-reading now would throw the user's choices away.
        MsgBox("The audio format settings could not be saved. These settings keys cannot be written:\r\n\r\n" +
                   failed.join("\r\n") +
                   "\r\n\r\nYour changes are still in the dialog: press OK to try again, or Exit to leave them "
                   "unsaved.",
               vbExclamation | vbOKOnly, QString(), this);
        return;
    }
    GetOptions();
    close();
}

void FrmAudioProp::cmdExit_Click() { close(); }

void FrmAudioProp::reject() { close(); }

void FrmAudioProp::closeEvent(QCloseEvent* event)
{
    // A file still being read no longer fills the lists of a closed dialog.
    m_sourceRead.stop();
    if (!g_bAppClosing) {
        event->ignore();
        hide();
        return;
    }
    cAudioConverter1->ReleaseComponent();
    QDialog::closeEvent(event);
}

// ---- ACM and WMA codec lists ----

void FrmAudioProp::cboTags_Click()
{
    const QSignalBlocker block(cboFormats);
    cboFormats->clear();
    cAudioConverter1->EnumACMFormats(cboTags->currentText());
    cboFormats->setCurrentIndex(-1);
    if (cboFormats->count() > 0)
        cboFormats->setCurrentIndex(0);
}

void FrmAudioProp::listAllACMCodecs()
{
    const QSignalBlocker block(cboTags);
    cboTags->clear();
    cAudioConverter1->EnumACMFormatTags(kPcmTag, 44100, 2, 16, 0);
    cboTags->setCurrentIndex(-1);
}

void FrmAudioProp::chkBestAccordToSource_Click()
{
    if (chkBestAccordToSource->isChecked()) {
        g_OpenFileName.lpstrFilter = QStringLiteral("MP3 Audio Files (*.mp3)") + QChar(0) + "*.mp3";
        g_OpenFileName.lpstrTitle = QStringLiteral("Open MP3 audio file");
        const FileDialogResult r = ShowOpen(this, true);
        const QString path = r.bCanceled ? QString() : r.sFiles.value(0);
        // The file is read on a worker: a stalled file never holds the
        // dialog. The box stays off meanwhile, so it is not clicked twice.
        auto format = std::make_shared<SourceFormat>();
        if (!path.isEmpty()) {
            QPointer<FrmAudioProp> self(this);
            chkBestAccordToSource->setEnabled(false);
            const bool read = m_sourceRead.run([format, path] { *format = ReadSourceFormat(path); });
            if (!self)
                return;
            chkBestAccordToSource->setEnabled(true);
            if (!read)
                format->status = -1;
        }
        if (!format->ok()) {
            // Nothing to recommend from: the lists stay as they were.
            const QSignalBlocker block(chkBestAccordToSource);
            chkBestAccordToSource->setChecked(false);
            return;
        }
        const int rate = format->sampleRate;
        const int channels = format->channels;
        const int bits = format->bitsPerSample;
        {
            const QSignalBlocker block(cboTags);
            cboTags->clear();
            cboFormats->clear();
            cAudioConverter1->EnumACMFormatTags(kPcmTag, rate, channels, bits, kAcmConvertFlag);
            cboTags->setCurrentIndex(-1);
        }
    } else {
        cboFormats->clear();
        listAllACMCodecs();
    }
    if (cboTags->count() > 0)
        cboTags->setCurrentIndex(0); // its handler lists the formats
    if (cboFormats->count() > 0)
        cboFormats->setCurrentIndex(0);
}

void FrmAudioProp::FillWMACodecs()
{
    const int n = cAudioConverter1->WMACodecCount();
    {
        const QSignalBlocker block(cboWMACodecs);
        for (int i = 0; i < n; ++i) {
            DoEvents();
            cboWMACodecs->addItem(cAudioConverter1->WMACodecName(i));
        }
        cboWMACodecs->setCurrentIndex(-1);
    }
    if (cboWMACodecs->count() > 0)
        cboWMACodecs->setCurrentIndex(0); // lists its formats
}

void FrmAudioProp::cboWMACodecs_Click() { FillWMAFormats(); }

void FrmAudioProp::FillWMAFormats()
{
    const QSignalBlocker block(cboWMAFormat);
    cboWMAFormat->clear();
    const int c = cboWMACodecs->currentIndex();
    if (c >= 0) {
        const int m = cAudioConverter1->WMAFormatCount(c);
        for (int j = 0; j < m; ++j)
            cboWMAFormat->addItem(cAudioConverter1->WMAFormatName(c, j));
    }
    cboWMAFormat->setCurrentIndex(cboWMAFormat->count() > 0 ? 0 : -1);
}

// ---- The single instance ----

FrmAudioProp* g_frmAudioProp()
{
    if (!ref()) {
        ref() = new FrmAudioProp;
        ref()->Form_Load();
    }
    return ref();
}

bool g_frmAudioPropLoaded() { return !ref().isNull(); }

void UnloadAudioProp()
{
    if (FrmAudioProp* w = ref().data()) {
        w->cAudioConverter1->ReleaseComponent();
        delete w;
    }
}
