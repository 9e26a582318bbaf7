#pragma once

// What the application object owns for the whole run, independent of any window: the
// settings model, the current settings file, the command line and the state flags that
// the scheduler, the pass driver and the front ends share.

#include <functional>
#include <string>

#include "platform/host_services.h"
#include "report/message_output.h"
#include "settings/command_line.h"
#include "settings/profile_store.h"
#include "settings/settings_model.h"
#include "settings/settings_storage.h"
#include "version.h"

struct CAppState
{
    int disabled = 1;           // backup processing disabled
    int monitoringActive = 0;   // change notifications are being polled
    int processingEnabled = 0;  // 1 ready, 0 hold
    int abortRequested = 0;
    int processingCounter = 0;  // backup passes in progress
    int exitAllowed = 0;        // set by the Exit command
};

class CApplicationCore
{
public:
    CApplicationCore(const CHostServices& services, CCommandLine commandLine);
    CApplicationCore(const CApplicationCore&) = delete;
    CApplicationCore& operator=(const CApplicationCore&) = delete;

    // Makes name the current settings file and loads everything from it, calling step
    // with 1 to 5 as the load goes on. False when the program cannot start with it (the
    // reason has been shown).
    bool LoadSettingsFile(const std::string& name, const std::function<void(int)>& step = {});
    // The name given with -i, or the default name.
    std::string InitialSettingsFileName() const;

    const std::string& SettingsFileName() const { return m_settingsFileName; }
    const std::string& SettingsFilePath() const { return m_profile.Path(); }

    CSettingsModel& Settings() { return m_settings; }
    const CSettingsModel& Settings() const { return m_settings; }
    CAppState& State() { return m_state; }
    const CAppState& State() const { return m_state; }
    const CHostServices& Services() const { return m_services; }
    // A front end may make its window after the core: what is reported or asked from then
    // on goes there.
    void SetMessageSink(IMessageSink* sink) { m_services.sink = sink; }
    void SetPrompter(IPrompter* prompter) { m_services.prompter = prompter; }
    const CCommandLine& CommandLine() const { return m_commandLine; }
    CProfileStore& Profile() { return m_profile; }
    CMessageOutput& Output() { return m_output; }
    const CMessageOutput& Output() const { return m_output; }
    CSettingsStorage& Storage() { return m_storage; }

    void OutputMessage(int kind, const std::string& message, const std::string& source = {},
                       const std::string& destination = {}, const std::string& info = {})
    {
        m_output.OutputMessage(kind, message, source, destination, info);
    }

private:
    CHostServices m_services;
    CCommandLine m_commandLine;
    CSettingsModel m_settings;
    CAppState m_state;
    std::string m_settingsFileName = "Tovix.TVX";
    CProfileStore m_profile;
    CMessageOutput m_output;
    CSettingsStorage m_storage;
};
