#include "core/RegistryRoutines.h"

#include "platform/SettingsStore.h"

using platform::SettingsStore;

bool RegistryRoutines::KeyExists() const
{
    const auto hive = SettingsStore::hiveFromHandle(m_hkey);
    return hive && SettingsStore::keyExists(*hive, keyPath());
}

QString RegistryRoutines::CreateKey(const QString& KeyName) const
{
    const auto hive = SettingsStore::hiveFromHandle(m_hkey);
    if (!hive)
        return QString();
    const QString path = m_keyRoot + "\\" + (KeyName.isNull() ? m_subkey : KeyName);
    return SettingsStore::createKey(*hive, path) ? QStringLiteral("0") : QString();
}

int RegistryRoutines::DeleteKey(const QString& KeyName) const
{
    const auto hive = SettingsStore::hiveFromHandle(m_hkey);
    if (!hive)
        return 6; // ERROR_INVALID_HANDLE
    return SettingsStore::deleteKey(*hive, m_keyRoot + "\\" + KeyName);
}

int RegistryRoutines::DeleteValue(const QString& ValueName) const
{
    const auto hive = SettingsStore::hiveFromHandle(m_hkey);
    if (!hive)
        return 6;
    return SettingsStore::deleteValue(*hive, keyPath(), ValueName);
}

QStringList RegistryRoutines::EnumRegistryKeys(qint64 hkey, const QString& KeyName) const
{
    const auto hive = SettingsStore::hiveFromHandle(hkey);
    if (!hive)
        return {};
    return SettingsStore::subKeys(*hive, KeyName);
}

QStringList RegistryRoutines::EnumRegistryValues(qint64 hkey, const QString& KeyName) const
{
    const auto hive = SettingsStore::hiveFromHandle(hkey);
    if (!hive)
        return {};
    return SettingsStore::valueNames(*hive, KeyName);
}

QVariant RegistryRoutines::GetRegistryValue(const QString& ValueName, const QVariant& DefaultValue) const
{
    const auto hive = SettingsStore::hiveFromHandle(m_hkey);
    if (!hive)
        return DefaultValue;
    const auto v = SettingsStore::value(*hive, keyPath(), ValueName);
    if (!v)
        return DefaultValue;
    return *v;
}

bool RegistryRoutines::SetRegistryValue(const QString& ValueName, const QVariant& value, int DType) const
{
    const auto hive = SettingsStore::hiveFromHandle(m_hkey);
    if (!hive)
        return false;
    QString text;
    switch (DType) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ:
        text = value.toString();
        break;
    case REG_DWORD:
        text = QString::number(value.toInt());
        break;
    case REG_BINARY:
        text = QString::fromLatin1(value.toByteArray());
        break;
    default:
        return false;
    }
    return SettingsStore::setValue(*hive, keyPath(), ValueName, text);
}

QVariant RegistryRoutines::ReadRemoteRegistryValue(const QString&, qint64, const QString&, const QString&) const
{
    return QStringLiteral("Error!");
}

bool RegistryRoutines::WriteRemoteRegistryValue(const QString&, qint64, const QString&, const QVariant&, int,
                                                const QString&) const
{
    return false;
}

QString RegistryRoutines::TrimNull(QString& item)
{
    const int pos = item.indexOf(QChar(0));
    if (pos >= 0)
        item.truncate(pos);
    return item;
}
