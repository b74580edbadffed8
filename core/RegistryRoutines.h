#pragma once
// The program's one way into the settings store, aimed at one key by
// hkey, KeyRoot and Subkey. Every member resumes its errors: failures show
// only in the results.
#include <QString>
#include <QStringList>
#include <QVariant>

constexpr qint64 HKEY_CURRENT_USER = 0x80000001LL;
constexpr qint64 HKEY_LOCAL_MACHINE = 0x80000002LL;

constexpr int REG_SZ = 1;
constexpr int REG_EXPAND_SZ = 2;
constexpr int REG_BINARY = 3;
constexpr int REG_DWORD = 4;
constexpr int REG_MULTI_SZ = 7;

class RegistryRoutines {
public:
    qint64 hkey() const { return m_hkey; }
    void setHkey(qint64 vData) { m_hkey = vData; }
    QString KeyRoot() const { return m_keyRoot; }
    void setKeyRoot(const QString& vData) { m_keyRoot = vData; }
    QString Subkey() const { return m_subkey; }
    void setSubkey(const QString& vData) { m_subkey = vData; }

    bool KeyExists() const;
    // "0" on success, empty on failure.
    QString CreateKey(const QString& KeyName = QString()) const;
    int DeleteKey(const QString& KeyName) const;
    int DeleteValue(const QString& ValueName) const;
    QStringList EnumRegistryKeys(qint64 hkey, const QString& KeyName) const;
    QStringList EnumRegistryValues(qint64 hkey, const QString& KeyName) const;
    // The stored text, or DefaultValue (an invalid QVariant, "Empty", when none is given).
    QVariant GetRegistryValue(const QString& ValueName, const QVariant& DefaultValue = QVariant()) const;
    bool SetRegistryValue(const QString& ValueName, const QVariant& value, int DType = REG_SZ) const;
    // There is no remote store: the connection always fails.
    QVariant ReadRemoteRegistryValue(const QString& sRemoteComputer, qint64 hkey, const QString& ValueName,
                                     const QString& KeyPath = QString()) const;
    bool WriteRemoteRegistryValue(const QString& sRemoteComputer, qint64 hkey, const QString& ValueName,
                                  const QVariant& value, int DType, const QString& KeyPath = QString()) const;
    static QString TrimNull(QString& item);

    // KeyRoot & "\" & Subkey
    QString keyPath() const { return m_keyRoot + "\\" + m_subkey; }

private:
    qint64 m_hkey = 0;
    QString m_keyRoot;
    QString m_subkey;
};
