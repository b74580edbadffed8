#include "toolframe/frmConverter.h"

#include <QCheckBox>
#include <QLabel>
#include <QPointer>

#include "components/controls/cImageList.h"
#include "components/audio/cAudioConverter.h"
#include "components/controls/cGrid.h"
#include "core/PathNames.h"
#include "lists/ItemRow.h"
#include "toolframe/NameMacros.h"

namespace {
QPointer<FrmConverter>& windowRef()
{
    static QPointer<FrmConverter> p;
    return p;
}

std::function<FrmConverter*()>& windowFactory()
{
    static std::function<FrmConverter*()> f;
    return f;
}
} // namespace

ToolFrameDesign FrmConverter::Design()
{
    ToolFrameDesign d;
    d.objectName = QStringLiteral("g_frmConverter");
    d.caption = QStringLiteral("Audio Converter");
    d.iconResource = QStringLiteral("replace2");
    d.startCaption = QStringLiteral("Convert");
    d.settingsTabCaption = QStringLiteral("Converter        ");
    d.settingsTabIcon = 7;
    d.noticeAppCaption = QStringLiteral("Execute external program ");
    d.destination = true;
    d.targetFormat = true;
    d.fileNameTemplate = true;
    d.overwrite = true;
    d.parametersLink = true;
    d.timeLeft = true;
    return d;
}

FrmConverter::FrmConverter(QWidget* parent)
    : ToolWindow(Design(), parent)
{
    LayOutStandardSettings();
    cAudioConverter1 = new cAudioConverter(this);
    cAudioConverter1->setObjectName("cAudioConverter1");
    m_target.setComponent(cAudioConverter1);
}

FrmConverter::~FrmConverter() = default;

void FrmConverter::LoadOwnTail()
{
    CheckUnderFolderEna();
    ResetTimeFields();
    chkOverWrite->setChecked(false);
    lblCurrentTrack->setText(QStringLiteral("Ready."));
}

void FrmConverter::UnloadOwnSteps()
{
    if (cAudioConverter1)
        cAudioConverter1->ReleaseComponent();
}

QString FrmConverter::CreateID3TagsString(const QString& sStr)
{
    TagMacroValues values;
    values.lTrackNum = cGrid1->SelectedRow();
    values.bRowMacros = true;
    const int row = int(m_lCurrentRow);
    values.bRowKnown = row >= 1 && row <= cGrid1->RowCount();
    if (values.bRowKnown) {
        values.sSourceName = GetFileNameFromPath(cGrid1->CellText(row, cGrid1->ColumnIndex(COL_FILE)));
        values.sItemName = cGrid1->CellText(row, cGrid1->ColumnIndex(COL_ITEM_NAME));
        values.sRange = cGrid1->CellText(row, cGrid1->ColumnIndex(COL_RANGE));
    }
    return ExpandTagMacros(sStr, values);
}

FrmConverter* g_frmConverter()
{
    if (!windowRef() || windowRef()->Unloaded()) {
        windowRef() = windowFactory() ? windowFactory()() : new FrmConverter(nullptr);
        windowRef()->Form_Load();
    }
    return windowRef();
}

bool g_frmConverterLoaded()
{
    return windowRef() && !windowRef()->Unloaded();
}

void setConverterWindowFactory(std::function<FrmConverter*()> factory)
{
    windowFactory() = std::move(factory);
}
