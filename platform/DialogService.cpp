#include "platform/DialogService.h"

#include <QColorDialog>
#include <QFileDialog>

#include "platform/Colors.h"

namespace platform {
namespace {
DialogHandler& handlerRef()
{
    static DialogHandler h;
    return h;
}

DialogAnswer runInteractive(const DialogRequest& r)
{
    DialogAnswer a;
    if (r.kind == DialogRequest::Color) {
        const QColor c = QColorDialog::getColor(colorFromBgr(r.color), r.parent, r.title);
        a.accepted = c.isValid();
        a.color = a.accepted ? colorToBgr(c) : r.color;
        return a;
    }
    QFileDialog dlg(r.parent, r.title, r.initialFolder);
    if (r.kind == DialogRequest::Folder) {
        dlg.setFileMode(QFileDialog::Directory);
        dlg.setOption(QFileDialog::ShowDirsOnly, true);
    } else {
        dlg.setOption(QFileDialog::HideNameFilterDetails, r.hideFilterDetails);
        if (!r.nameFilters.isEmpty()) {
            dlg.setNameFilters(r.nameFilters);
            if (r.filterIndex >= 0 && r.filterIndex < r.nameFilters.size())
                dlg.selectNameFilter(r.nameFilters[r.filterIndex]);
        }
        if (r.kind == DialogRequest::SaveFile) {
            dlg.setAcceptMode(QFileDialog::AcceptSave);
            dlg.setFileMode(QFileDialog::AnyFile);
            dlg.setOption(QFileDialog::DontConfirmOverwrite, !r.overwritePrompt);
            if (!r.defaultSuffix.isEmpty())
                dlg.setDefaultSuffix(r.defaultSuffix);
        } else {
            dlg.setFileMode(r.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
        }
        if (!r.initialFile.isEmpty())
            dlg.selectFile(r.initialFile);
    }
    if (dlg.exec() != QDialog::Accepted)
        return a;
    a.accepted = true;
    a.paths = dlg.selectedFiles();
    // With the details hidden the dialog names the filter by its caption alone.
    const QString chosen = dlg.selectedNameFilter();
    a.filterIndex = 0;
    for (int i = 0; i < r.nameFilters.size(); ++i) {
        if (r.nameFilters[i] == chosen || r.nameFilters[i].startsWith(chosen + " (")) {
            a.filterIndex = i;
            break;
        }
    }
    return a;
}
} // namespace

DialogHandler setDialogHandler(DialogHandler handler)
{
    DialogHandler old = std::move(handlerRef());
    handlerRef() = std::move(handler);
    return old;
}

DialogAnswer runDialog(const DialogRequest& request)
{
    if (handlerRef())
        return handlerRef()(request);
    return runInteractive(request);
}

} // namespace platform
