#include "toolframe/OptionsAccess.h"

#include <QComboBox>

#include "components/controls/cImageList.h"
#include "components/controls/cTabControl.h"
#include "settings/frmAudioProp.h"
#include "settings/frmOptions.h"

QString OptionsTargetFormatText()
{
    return frmOptions()->cboTargetFormat->currentText();
}

int OptionsTargetFormatIndex()
{
    return frmOptions()->cboTargetFormat->currentIndex();
}

void SetOptionsTargetFormatText(const QString& text)
{
    QComboBox* box = frmOptions()->cboTargetFormat;
    const int i = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i >= 0)
        box->setCurrentIndex(i);
}

void SetOptionsFileNameText(const QString& text)
{
    QComboBox* box = frmOptions()->cboFileName;
    const int i = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i >= 0)
        box->setCurrentIndex(i);
}

void ShowOptionsEventsPage()
{
    FrmOptions* options = frmOptions();
    options->ShowPage(QStringLiteral("Events"));
    options->exec();
}

void ShowAudioFormatDialogOn(const QString& key)
{
    FrmAudioProp* formats = g_frmAudioProp();
    formats->cTabControl1->SelectTab(key);
    formats->cTabControl1_TabClick(formats->cTabControl1->TabIndexForKey(key));
    formats->exec();
}
