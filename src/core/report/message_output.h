#pragma once

// The one sink of every report: status text, report and error rows, the log file and
// the notification sounds.

#include <string>

#include "platform/host_services.h"
#include "report/message_kinds.h"

struct CGeneralSettings;

class CMessageOutput
{
public:
    // Settings are read at every call, so changes made by the dialogs apply at once.
    CMessageOutput(const CGeneralSettings& settings, const CHostServices& services);

    void OutputMessage(int kind, const std::string& message, const std::string& source = {},
                       const std::string& destination = {}, const std::string& info = {});

    void SetNoMessageOutput(bool on) { m_noMessageOutput = on; }
    bool NoMessageOutput() const { return m_noMessageOutput; }

    void PlayNotifySound(const std::string& soundFile);
    void BeepInfo(bool force);

private:
    const CGeneralSettings& m_settings;
    const CHostServices& m_services;
    bool m_noMessageOutput = false;
};
