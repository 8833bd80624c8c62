#pragma once
// The stored settings: short texts under the application "Kravix", a section
// ("Startup", "Schnellansicht") and a key, kept in the user's INI file
// $XDG_CONFIG_HOME/Kravix/Kravix.ini. Every read names its default, returned
// when the key is missing or the store cannot be read; a write that fails
// leaves the store as it was. Nothing is ever deleted. User-interface thread.
#include <QString>

namespace kx {

inline constexpr const char* kAppName = "Kravix";

QString GetSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue = {});
void SaveSetting(const QString& app, const QString& section, const QString& key,
                 const QString& value);

// Booleans are written "True"/"False"; reading accepts numbers too (0 false,
// anything else true). A text that is neither raises "Typen unverträglich".
bool GetBoolSetting(const QString& section, const QString& key, bool defaultValue);
void SaveBoolSetting(const QString& section, const QString& key, bool value);

// Numbers are written as decimal text; a stored text that is not a number
// raises "Typen unverträglich" for the caller's error trap.
double GetNumberSetting(const QString& section, const QString& key, double defaultValue);
void SaveNumberSetting(const QString& section, const QString& key, double value);

}  // namespace kx
