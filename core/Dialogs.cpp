#include "core/Dialogs.h"

#include <QColorDialog>
#include <QDir>
#include <QFileInfo>

#include "core/PathNames.h"
#include "platform/Colors.h"
#include "platform/DialogService.h"
#include "platform/UserSettings.h"

OPENFILENAME g_OpenFileName;

namespace {

const char* const kApp = "Pelmora";
const char* const kSection = "path";
const char* const kKey = "last_path";
const char* const kDefaultPath = "/";
const int kMaxFiles = 1000;

FileDialogResult cancelled()
{
    return FileDialogResult{};
}

// The folder of a chosen file, without a final "/" except at the root.
QString folderOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

void setCustomColors()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    static const int presets[8][3] = {{139, 155, 184}, {188, 213, 254}, {115, 172, 183}, {200, 249, 198},
                                      {189, 194, 253}, {200, 249, 255}, {108, 213, 210}, {236, 164, 236}};
    for (int i = 0; i < 16; ++i) {
        const QColor c = i < 8 ? QColor(presets[i][0], presets[i][1], presets[i][2]) : QColor(160, 160, 160);
        QColorDialog::setCustomColor(i, c);
    }
}

} // namespace

QStringList FileDialogFilters(const QString& lpstrFilter)
{
    QStringList parts = lpstrFilter.split(QChar(0));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString caption = parts[i];
        if (caption.isEmpty() && parts[i + 1].isEmpty())
            break;
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(';'))
            if (!p.trimmed().isEmpty())
                patterns << p.trimmed();
        // The dialog reads the patterns from the last parentheses and, with
        // the details hidden, shows the caption before them unchanged.
        filters << caption + " (" + patterns.join(' ') + ")";
    }
    return filters;
}

FileDialogResult ShowOpen(QWidget* hWndOwner, bool bCenterOnOwner)
{
    g_OpenFileName.hwndOwner = hWndOwner;
    g_OpenFileName.lpstrInitialDir = GetSetting(kApp, kSection, kKey, kDefaultPath);
    g_OpenFileName.Flags = 0x382204;
    g_OpenFileName.lpstrFile.clear();

    platform::DialogRequest request;
    request.kind = platform::DialogRequest::OpenFile;
    request.title = g_OpenFileName.lpstrTitle;
    request.initialFolder = g_OpenFileName.lpstrInitialDir;
    request.nameFilters = FileDialogFilters(g_OpenFileName.lpstrFilter);
    request.hideFilterDetails = true;
    request.multiSelect = (g_OpenFileName.Flags & OFN_ALLOWMULTISELECT) != 0;
    // A dialog with a parent opens centred over it; without one, on the screen.
    request.parent = bCenterOnOwner ? hWndOwner : nullptr;

    const platform::DialogAnswer answer = platform::runDialog(request);
    QStringList paths;
    for (const QString& p : answer.paths)
        if (!p.isEmpty())
            paths << p;
    if (!answer.accepted || paths.isEmpty())
        return cancelled();

    FileDialogResult r;
    r.bCanceled = false;
    r.sFolder = folderOf(paths.first());
    if (paths.size() == 1) {
        r.sFiles = QStringList{paths.first(), QFileInfo(paths.first()).fileName()};
        g_OpenFileName.lpstrFile = paths.first();
    } else {
        r.sFiles = QStringList{QString()};
        for (const QString& p : paths.mid(0, kMaxFiles))
            r.sFiles << QFileInfo(p).fileName();
        g_OpenFileName.lpstrFile = r.sFolder;
    }
    r.iFileCount = int(r.sFiles.size()) - 1;
    SaveSetting(kApp, kSection, kKey, g_OpenFileName.lpstrFile);
    return r;
}

FileDialogResult ShowSave(QWidget* hWndOwner, const QString& sDefaultName, bool bCenterOnOwner)
{
    g_OpenFileName.hwndOwner = hWndOwner;
    g_OpenFileName.lpstrFile = sDefaultName;
    g_OpenFileName.Flags = 0x280006;

    platform::DialogRequest request;
    request.kind = platform::DialogRequest::SaveFile;
    request.title = g_OpenFileName.lpstrTitle;
    request.initialFolder = g_OpenFileName.lpstrInitialDir;
    request.initialFile = sDefaultName;
    request.nameFilters = FileDialogFilters(g_OpenFileName.lpstrFilter);
    request.hideFilterDetails = true;
    request.overwritePrompt = (g_OpenFileName.Flags & OFN_OVERWRITEPROMPT) != 0;
    request.defaultSuffix = g_OpenFileName.lpstrDefExt;
    request.parent = bCenterOnOwner ? hWndOwner : nullptr;

    const platform::DialogAnswer answer = platform::runDialog(request);
    if (!answer.accepted || answer.paths.isEmpty() || answer.paths.first().isEmpty())
        return cancelled();
    const QString path = answer.paths.first();
    g_OpenFileName.lpstrFile = path;

    FileDialogResult r;
    r.bCanceled = false;
    r.sFiles = QStringList{QString(), path};
    r.sFolder = GetFolderFromPath(path);
    r.iFileCount = 1;
    return r;
}

qint64 ShowColor(QWidget* hWndOwner, bool bCenterOnOwner)
{
    setCustomColors();
    platform::DialogRequest request;
    request.kind = platform::DialogRequest::Color;
    request.color = 0xFFFFFF;
    request.parent = bCenterOnOwner ? hWndOwner : nullptr;
    const platform::DialogAnswer answer = platform::runDialog(request);
    if (!answer.accepted)
        return -1;
    return qint64(answer.color & 0xFFFFFF);
}

QString BrowseForFolder(const QString& sTitle, const QString& sStartFolder, QWidget* hWndOwner, bool bStatusText,
                        const QString& vRoot, bool bNewDialogStyle, bool bIncludeFiles)
{
    Q_UNUSED(bStatusText);
    Q_UNUSED(vRoot);
    Q_UNUSED(bNewDialogStyle);
    Q_UNUSED(bIncludeFiles);
    platform::DialogRequest request;
    request.kind = platform::DialogRequest::Folder;
    request.title = sTitle;
    request.initialFolder = sStartFolder;
    request.parent = hWndOwner;
    const platform::DialogAnswer answer = platform::runDialog(request);
    if (!answer.accepted || answer.paths.isEmpty() || answer.paths.first().isEmpty())
        return QString();
    return QDir::cleanPath(answer.paths.first());
}
