#include "core/PathNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QToolTip>
#include <QWidget>
#include <cerrno>
#include <sys/stat.h>

#include "platform/MessageBox.h"
#include "platform/Shell.h"

QString GetFileNameFromPath(const QString& path)
{
    const int slash = path.lastIndexOf('/');
    return slash < 0 ? path : path.mid(slash + 1);
}

QString GetFolderFromPath(const QString& path)
{
    const QStringList parts = path.split('/');
    QString result = path.startsWith('/') ? QStringLiteral("/") : QString();
    for (int i = 0; i + 1 < parts.size(); ++i) {
        if (!parts[i].isEmpty())
            result += parts[i] + '/';
    }
    return result;
}

QString GetFolderOfFile(const QString& path)
{
    // The part before the trailing file name. (Searching for the name's first
    // occurrence would cut "/x/b/b" at "/x/".)
    const QString name = GetFileNameFromPath(path);
    if (name.isEmpty() || name.size() == path.size())
        return QString();
    return path.left(path.size() - name.size());
}

QString GetExtension(const QString& name)
{
    const int dot = name.lastIndexOf('.');
    return dot < 0 ? QString() : name.mid(dot + 1, 12);
}

QString GetLastExtension(const QString& name)
{
    const int dot = name.lastIndexOf('.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString RemoveExtension(const QString& name)
{
    const int dot = name.lastIndexOf('.');
    return dot < 0 ? name : name.left(dot);
}

QString CleanFileName(const QString& name)
{
    static const char16_t kChars[] = {
        u'!', u'/', u'\\', u';', u':', u',', u' ', u'$', u'+', u'&', u'[', u']', u'(',
        u')', u'{', u'}', u'?', u'*', u'|', u'<', u'>', u'\u05D6', u'\uF893', u'\u20AC', u'@',
        u'\u00A8', u'~', u'\u00B4', u'`', u'=', u'%', u'\u00BD', u'#', u'\u00A3', u'\'', u'"', u'\u05D9'};
    QString out = name;
    for (char16_t c : kChars)
        out.replace(QChar(c), QChar('-'));
    return out;
}

namespace {
const QString& illegalChars()
{
    static const QString chars = QStringLiteral("/\\:?*<>\"|");
    return chars;
}
} // namespace

bool IsValidFileName(const QString& name)
{
    for (QChar c : illegalChars())
        if (name.contains(c))
            return false;
    return true;
}

QString IllegalNameTipText()
{
    return QStringLiteral("Illegal name.\r\n\r\nThe chars:   /\\:?*<>\"|   are not legal.");
}

void FilterIllegalNameKey(QWidget* textBox, int& keyAscii)
{
    if (keyAscii <= 0 || keyAscii > 0xFFFF || !illegalChars().contains(QChar(keyAscii)))
        return;
    if (textBox) {
        // A balloon just below the box.
        const QPoint at = textBox->mapToGlobal(QPoint(textBox->width() / 4, textBox->height()));
        QToolTip::showText(at, IllegalNameTipText(), textBox);
    }
    keyAscii = 0;
}

bool IsFolder(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

bool RemoveFile(const QString& path)
{
    if (!FileExists(path))
        return false;
    return QFile::remove(path);
}

int CreateFolderPath(const QString& folderPath)
{
    QString path = folderPath;
    if (path.endsWith('/') && path.size() > 1)
        path.chop(1);
    if (path.isEmpty())
        return 0;
    const QStringList parts = path.split('/');
    QString prefix;
    for (const QString& part : parts) {
        prefix += part + '/';
        if (part.isEmpty())
            continue; // the root, or a doubled separator
        if (QFileInfo(prefix).isDir())
            continue;
        const QByteArray native = QFile::encodeName(prefix);
        if (::mkdir(native.constData(), 0777) != 0) {
            const int err = errno;
            if (err == EEXIST && QFileInfo(prefix).isDir())
                continue; // made meanwhile
            return err ? err : EIO;
        }
    }
    return 0;
}

void ShellOpen(QWidget* owner, const QString& target)
{
    Q_UNUSED(owner);
    platform::shellOpen(target);
}

bool OpenFolderOfferingToCreate(const QString& folder, const QString& title, QWidget* owner)
{
    bool created = false;
    if (!IsFolder(folder)) {
        const int answer = MsgBox("The folder " + folder + " does not exist." + QString(44, QLatin1Char(' ')) +
                                      "\r\n\r\nWould you like to create it?",
                                  vbInformation | vbYesNo, title, owner);
        if (answer != vbYes)
            return false;
        if (CreateFolderPath(folder) != 0)
            MsgBox("The path: " + folder + " cannot be created.", vbOKOnly, title, owner);
        else
            created = true;
    }
    ShellOpen(owner, folder);
    return created;
}
