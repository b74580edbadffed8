#pragma once
// File, folder and colour dialogs behind one service. The application shows
// QFileDialog/QColorDialog; tests install a handler that answers.
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace platform {

struct DialogRequest {
    enum Kind { OpenFile, SaveFile, Folder, Color };
    Kind kind = OpenFile;
    QString title;
    QString initialFolder;
    QString initialFile;
    QStringList nameFilters; // Qt form: "Caption (*.a *.b)"
    int filterIndex = 0;     // 0-based index of the selected filter
    bool multiSelect = false;
    bool overwritePrompt = true;
    bool hideFilterDetails = false; // show each filter's caption without its patterns
    QString defaultSuffix;          // save: added to a name typed without an extension
    quint32 color = 0;       // 0x00BBGGRR, in and out
    QWidget* parent = nullptr;
};

struct DialogAnswer {
    bool accepted = false;
    QStringList paths; // chosen files, or the chosen folder
    quint32 color = 0;
    int filterIndex = 0;
};

using DialogHandler = std::function<DialogAnswer(const DialogRequest&)>;
DialogHandler setDialogHandler(DialogHandler handler);

DialogAnswer runDialog(const DialogRequest& request);

} // namespace platform
