#include "platform/UserSettings.h"

#include "platform/SettingsStore.h"

namespace platform {
QString userSettingsKey(const QString& application, const QString& section)
{
    return "Software\\" + application + "\\" + section;
}
} // namespace platform

QString GetSetting(const QString& application, const QString& section, const QString& key, const QString& sDefault)
{
    const auto v = platform::SettingsStore::value(platform::Hive::CurrentUser,
                                                  platform::userSettingsKey(application, section), key);
    return v ? *v : sDefault;
}

bool SaveSetting(const QString& application, const QString& section, const QString& key, const QString& setting)
{
    const QString path = platform::userSettingsKey(application, section);
    using platform::Hive;
    using platform::SettingsStore;
    if (!SettingsStore::keyExists(Hive::CurrentUser, path) && !SettingsStore::createKey(Hive::CurrentUser, path))
        return false;
    return SettingsStore::setValue(Hive::CurrentUser, path, key, setting);
}
