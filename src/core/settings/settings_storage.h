#pragma once

// Loading and saving the settings model from and to the settings file, in the orders the
// file format has always used (stored files and other tools rely on them).

#include <string>

#include "settings/settings_model.h"

class CCommandLine;
class CProfileStore;
class CMessageOutput;
class IPrompter;
struct CHostServices;

// Copies a whole file through a temporary file and a rename, so the target is either the
// old or the new file. A new target is readable by the user only; an existing one keeps
// its permissions. False with errno set when it could not.
bool CopyFileReplacing(const std::string& from, const std::string& to);

class CSettingsStorage
{
public:
    // The prompter is taken from services at every question, so a front end that sets it
    // up after the storage was made still gets the questions of the first load.
    CSettingsStorage(CSettingsModel& model, CProfileStore& store, const CCommandLine& commandLine,
                     const CHostServices& services);

    // Optional: where notices about the file go (a clamped count, a failed write).
    void SetMessageOutput(CMessageOutput* output) { m_output = output; }

    // [Setting] without the archiver keys, then [Startup]; options given on the command
    // line read as 2. defaults, when given, replaces the table defaults (a dialog that
    // reloads while it is open keeps its own values for keys the file lacks).
    void LoadGeneralSettings(const CGeneralSettings* defaults = nullptr);
    bool SaveGeneralSettings(const CGeneralSettings& values, const CStartupOptions& options);

    // Writes FontName and FontData at once (the font command applies immediately).
    bool SaveListFont(const std::string& name, const std::string& data);

    // False when the start cannot go on (the default file could not be made).
    bool LoadFileSettings();
    bool SaveFileSettings();

    // index is a file-setting index, or -1 for all of them.
    void LoadArchiverSettings(int index);
    bool SaveArchiverSettings(int index);

    // Replaces a settings file without file settings by the template (or the settings
    // file of an old version). False when it could not; the reason has been shown.
    bool CreateDefaultSettingsFile();

private:
    int ShowMessage(const std::string& text, unsigned type) const;
    bool WaitForFileSettings();
    // Temporary files of settings writes that a killed run left beside the file.
    void RemoveLeftovers();
    void MoveArchiverFileKeys();

    CSettingsModel& m_model;
    CProfileStore& m_store;
    const CCommandLine& m_commandLine;
    const CHostServices& m_services;  // no prompter: questions answer No, errors go unseen
    CMessageOutput* m_output = nullptr;
};
