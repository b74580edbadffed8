#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

namespace platform {
namespace {

const char* kValuesFile = "values.json";

QString hiveName(Hive h)
{
    return h == Hive::LocalMachine ? QStringLiteral("HKEY_LOCAL_MACHINE") : QStringLiteral("HKEY_CURRENT_USER");
}

// Key names may hold '/' and '%', which a folder name cannot or should not.
QString encodeSegment(const QString& s)
{
    QString out;
    for (QChar c : s) {
        if (c == '%' || c == '/')
            out += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QChar('0')).toUpper();
        else
            out += c;
    }
    if (out == "." || out == "..")
        out.replace('.', "%2E");
    return out;
}

QString decodeSegment(const QString& s)
{
    QString out;
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] == QChar(0x25) && i + 2 < s.size()) {
            bool ok = false;
            const int code = s.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

QStringList segments(const QString& keyPath)
{
    QStringList parts;
    for (const QString& p : keyPath.split('\\', Qt::SkipEmptyParts))
        parts << encodeSegment(p);
    return parts;
}

QJsonObject readValues(const QString& folder, bool* ok = nullptr)
{
    QFile f(folder + '/' + kValuesFile);
    if (!f.exists()) {
        if (ok) *ok = true;
        return {};
    }
    if (!f.open(QIODevice::ReadOnly)) {
        if (ok) *ok = false;
        return {};
    }
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll());
    if (ok) *ok = doc.isObject();
    return doc.object();
}

bool writeValues(const QString& folder, const QJsonObject& values)
{
    QSaveFile f(folder + '/' + kValuesFile);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray data = QJsonDocument(values).toJson(QJsonDocument::Indented);
    if (f.write(data) != data.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

} // namespace

QString SettingsStore::rootFolder()
{
    const QByteArray env = qgetenv("KELVANE_REGISTRY_ROOT");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (config.isEmpty())
        config = QDir::homePath() + "/.config";
    return config + "/kelvane/registry";
}

std::optional<Hive> SettingsStore::hiveFromHandle(qint64 handle)
{
    const quint32 h = static_cast<quint32>(handle);
    if (h == static_cast<quint32>(Hive::CurrentUser)) return Hive::CurrentUser;
    if (h == static_cast<quint32>(Hive::LocalMachine)) return Hive::LocalMachine;
    return std::nullopt;
}

QString SettingsStore::keyFolder(Hive hive, const QString& keyPath)
{
    QString folder = rootFolder() + '/' + hiveName(hive);
    for (const QString& s : segments(keyPath))
        folder += '/' + s;
    return folder;
}

bool SettingsStore::keyExists(Hive hive, const QString& keyPath)
{
    return QFileInfo(keyFolder(hive, keyPath)).isDir();
}

std::optional<QString> SettingsStore::value(Hive hive, const QString& keyPath, const QString& name)
{
    const QString folder = keyFolder(hive, keyPath);
    if (!QFileInfo(folder).isDir())
        return std::nullopt;
    const QJsonObject values = readValues(folder);
    const auto it = values.constFind(name);
    if (it == values.constEnd() || !it->isString())
        return std::nullopt;
    return it->toString();
}

bool SettingsStore::setValue(Hive hive, const QString& keyPath, const QString& name, const QString& value)
{
    const QString folder = keyFolder(hive, keyPath);
    if (!QFileInfo(folder).isDir())
        return false;
    bool ok = false;
    QJsonObject values = readValues(folder, &ok);
    if (!ok)
        return false; // never overwrite a file we could not read
    values.insert(name, value);
    return writeValues(folder, values);
}

int SettingsStore::deleteValue(Hive hive, const QString& keyPath, const QString& name)
{
    const QString folder = keyFolder(hive, keyPath);
    if (!QFileInfo(folder).isDir())
        return 2;
    bool ok = false;
    QJsonObject values = readValues(folder, &ok);
    if (!ok)
        return 5;
    if (!values.contains(name))
        return 2;
    values.remove(name);
    return writeValues(folder, values) ? 0 : 5;
}

bool SettingsStore::createKey(Hive hive, const QString& keyPath)
{
    return QDir().mkpath(keyFolder(hive, keyPath));
}

int SettingsStore::deleteKey(Hive hive, const QString& keyPath)
{
    const QString folder = keyFolder(hive, keyPath);
    QDir dir(folder);
    if (!dir.exists())
        return 2;
    if (!dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty())
        return 5;
    QFile::remove(folder + '/' + kValuesFile);
    return QDir().rmdir(folder) ? 0 : 5;
}

QStringList SettingsStore::subKeys(Hive hive, const QString& keyPath)
{
    QStringList out;
    for (const QString& s : QDir(keyFolder(hive, keyPath)).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        out << decodeSegment(s);
    return out;
}

QStringList SettingsStore::valueNames(Hive hive, const QString& keyPath)
{
    return readValues(keyFolder(hive, keyPath)).keys();
}

} // namespace platform
