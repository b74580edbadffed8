#pragma once
// The per-user settings store: text values by application, section and key,
// kept in the current user's hive under "Software\<application>\<section>".
#include <QString>

namespace platform {
QString userSettingsKey(const QString& application, const QString& section);
} // namespace platform

// The stored text, or sDefault when there is none.
QString GetSetting(const QString& application, const QString& section, const QString& key,
                   const QString& sDefault = QString());
// Stores the text, creating the section when needed; false when it could not be written.
bool SaveSetting(const QString& application, const QString& section, const QString& key, const QString& setting);
