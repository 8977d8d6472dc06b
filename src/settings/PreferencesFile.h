#pragma once

#include "settings/Preferences.h"

#include <filesystem>

// The settings file: the per-user data folder + "Kerfline/preferences.dat". Creates the folders.
std::filesystem::path preferencesPath();

// Updates `preferences` from the file's records; fields the file does not supply keep their values.
void loadPreferences(const std::filesystem::path& path, Preferences& preferences);

// Writes all seven records. Returns false when the file could not be written completely.
bool savePreferences(const std::filesystem::path& path, const Preferences& preferences);
