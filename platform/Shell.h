#pragma once
// Opening documents, folders and web pages, and starting programs, without a shell.
#include <QString>
#include <QStringList>
#include <functional>

namespace platform {

struct ShellRequest {
    enum Kind { Open, Start };
    Kind kind = Open;
    QString target;        // document, folder or address (Open), or program (Start)
    QStringList arguments; // Start only
};

using ShellHandler = std::function<bool(const ShellRequest&)>;
ShellHandler setShellHandler(ShellHandler handler);

// Opens a file, a folder or an address with the desktop's handler.
bool shellOpen(const QString& target);
// Starts a program detached, arguments passed as they are.
bool startProgram(const QString& program, const QStringList& arguments = {});

} // namespace platform
