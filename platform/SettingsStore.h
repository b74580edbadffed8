#pragma once
// Our stand-in for the registry: two hives, one folder per key, the key's
// string values in one file inside it. Writes are atomic.
#include <QString>
#include <QStringList>
#include <optional>

namespace platform {

enum class Hive : quint32 {
    CurrentUser = 0x80000001u,
    LocalMachine = 0x80000002u,
};

class SettingsStore {
public:
    // Root folder: $KELVANE_REGISTRY_ROOT, else ${XDG_CONFIG_HOME:-~/.config}/kelvane/registry.
    static QString rootFolder();
    static std::optional<Hive> hiveFromHandle(qint64 handle);

    static bool keyExists(Hive hive, const QString& keyPath);
    // nullopt when the key or the value is missing.
    static std::optional<QString> value(Hive hive, const QString& keyPath, const QString& name);
    // Fails (false) and creates nothing when the key is missing.
    static bool setValue(Hive hive, const QString& keyPath, const QString& name, const QString& value);
    // 0 when deleted, 2 when the key or value was missing, another code on a failed write.
    static int deleteValue(Hive hive, const QString& keyPath, const QString& name);
    // Creates the key and every missing parent.
    static bool createKey(Hive hive, const QString& keyPath);
    // 0 when deleted; 2 when missing; 5 when it still has sub-keys.
    static int deleteKey(Hive hive, const QString& keyPath);
    static QStringList subKeys(Hive hive, const QString& keyPath);
    static QStringList valueNames(Hive hive, const QString& keyPath);

    // The folder that holds a key (it need not exist).
    static QString keyFolder(Hive hive, const QString& keyPath);
};

} // namespace platform
