#pragma once

// Where the program and its files live on this platform.

#include <string>
#include <string_view>

// Something exists at path (a link counts by what it points to).
bool FileExists(const std::string& path);

// The folder of the running executable, ending with "/".
std::string GetProgramDirectory();

// The per-user configuration folder ($XDG_CONFIG_HOME/tovix or ~/.config/tovix), the
// counterpart of the system directory; created (mode 0700) when missing.
std::string GetConfigDirectory();

// A settings file name without "/" lives in the configuration folder; any other name is
// used as given.
std::string ResolveSettingsFilePath(std::string_view name);

// A data file shipped with the program ("Tovix_.TVX", "tovix.htm"): beside the program
// first, then in the data folder where the install put it relative to the program
// (bin/../share/tovix), then in the configured data folder. Returns the first that
// exists, or the path beside the program when none does.
std::string FindDataFile(std::string_view name);

inline constexpr const char* kDefaultSettingsFileName = "Tovix.TVX";
inline constexpr const char* kTemplateSettingsFileName = "Tovix_.TVX";
inline constexpr const char* kOldSettingsFileName = "Tovix.INI";
inline constexpr const char* kSettingsBackupFileName = "Tovix$$$.TVX";
