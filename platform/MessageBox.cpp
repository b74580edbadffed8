#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {
namespace {
MessageBoxHandler& handlerRef()
{
    static MessageBoxHandler h;
    return h;
}
QString& titleRef()
{
    static QString t;
    return t;
}

int showInteractive(const MessageBoxRequest& r, QWidget* parent)
{
    QMessageBox box(parent ? parent : QApplication::activeWindow());
    box.setWindowTitle(r.title);
    box.setText(r.prompt);
    switch (r.icon()) {
    case vbCritical: box.setIcon(QMessageBox::Critical); break;
    case vbQuestion: box.setIcon(QMessageBox::Question); break;
    case vbExclamation: box.setIcon(QMessageBox::Warning); break;
    case vbInformation: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    struct B { QMessageBox::StandardButton qt; int answer; };
    QList<B> buttons;
    switch (r.buttons()) {
    case vbOKCancel: buttons = {{QMessageBox::Ok, vbOK}, {QMessageBox::Cancel, vbCancel}}; break;
    case vbAbortRetryIgnore: buttons = {{QMessageBox::Abort, vbAbort}, {QMessageBox::Retry, vbRetry}, {QMessageBox::Ignore, vbIgnore}}; break;
    case vbYesNoCancel: buttons = {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}, {QMessageBox::Cancel, vbCancel}}; break;
    case vbYesNo: buttons = {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}}; break;
    case vbRetryCancel: buttons = {{QMessageBox::Retry, vbRetry}, {QMessageBox::Cancel, vbCancel}}; break;
    default: buttons = {{QMessageBox::Ok, vbOK}}; break;
    }
    QMessageBox::StandardButtons set;
    for (const B& b : buttons)
        set |= b.qt;
    box.setStandardButtons(set);
    int def = 0;
    if (r.style & vbDefaultButton2) def = 1;
    if (r.style & vbDefaultButton3) def = 2;
    if (def < buttons.size())
        box.setDefaultButton(buttons[def].qt);
    const auto chosen = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const B& b : buttons)
        if (b.qt == chosen)
            return b.answer;
    // Closed by the window manager: the cancel-like answer.
    if (r.buttons() == vbYesNo) return vbNo;
    if (r.buttons() == vbOKOnly) return vbOK;
    return vbCancel;
}
} // namespace

MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler)
{
    MessageBoxHandler old = std::move(handlerRef());
    handlerRef() = std::move(handler);
    return old;
}

void setApplicationTitle(const QString& title) { titleRef() = title; }
QString applicationTitle() { return titleRef().isEmpty() ? QCoreApplication::applicationName() : titleRef(); }

} // namespace platform

int MsgBox(const QString& prompt, int style, const QString& title, QWidget* parent)
{
    platform::MessageBoxRequest r{prompt, style, title.isEmpty() ? platform::applicationTitle() : title};
    if (platform::handlerRef())
        return platform::handlerRef()(r);
    return platform::showInteractive(r, parent);
}
