#pragma once
// Message boxes with the Windows button/icon/answer numbers. The application
// shows QMessageBox; tests install a handler that answers and records.
#include <QString>
#include <functional>

class QWidget;

enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbAbortRetryIgnore = 2,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton2 = 256,
    vbDefaultButton3 = 512,
};

enum MsgBoxResult : int {
    vbOK = 1,
    vbCancel = 2,
    vbAbort = 3,
    vbRetry = 4,
    vbIgnore = 5,
    vbYes = 6,
    vbNo = 7,
};

namespace platform {

struct MessageBoxRequest {
    QString prompt;
    int style = vbOKOnly;
    QString title; // already resolved: the application title when the caller gave none
    int buttons() const { return style & 7; }
    int icon() const { return style & 0x70; }
};

using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;

// Replaces the interactive boxes (tests). Returns the previous handler.
MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler);

// Title used when a box gives none (the application title).
void setApplicationTitle(const QString& title);
QString applicationTitle();

} // namespace platform

// Shows a modal message box and returns the answer (vbOK ...).
int MsgBox(const QString& prompt, int style = vbOKOnly, const QString& title = QString(), QWidget* parent = nullptr);
