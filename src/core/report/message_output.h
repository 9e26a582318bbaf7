#pragma once

// The one sink of every report: status text, report and error rows, the log file and
// the notification sounds.

#include <string>

#include "platform/host_services.h"
#include "report/message_kinds.h"

#include "report/report_settings.h"

class CMessageOutput
{
public:
    // Settings are read at every call, so changes made by the dialogs apply at once.
    CMessageOutput(const CReportSettings& settings, const CHostServices& services);

    void OutputMessage(int kind, const std::string& message, const std::string& source = {},
                       const std::string& destination = {}, const std::string& info = {});

    // Warnings, errors and dry-run reports output so far, shown or not: work that may be
    // left undone. A walk compares it before and after a folder.
    unsigned long TroubleCount() const { return m_troubleCount; }

    void SetNoMessageOutput(bool on) { m_noMessageOutput = on; }
    bool NoMessageOutput() const { return m_noMessageOutput; }

    // Plays a notification sound file; a file that cannot be played (an empty name
    // included) gives the exclamation beep instead. Nothing while Sound is 0.
    void PlayNotifySound(const std::string& soundFile);
    // The notification without any sound file: the information beep.
    void PlayNotifySound();
    void BeepInfo(bool force);
    // A command that cannot be carried out now; not subject to the Sound setting.
    void BeepError() { Beep(EBeep::Error); }

private:
    struct CStamp
    {
        std::string time; // "HH:MM:SS"
        std::string date; // "MM/DD/YY"
    };

    CStamp LocalStamp() const;
    void WriteLog(int kind, const std::string& message, const std::string& source,
                  const std::string& destination, const std::string& info, const CStamp& stamp);
    void Beep(EBeep beep);

    const CReportSettings& m_settings;
    const CHostServices& m_services;
    bool m_noMessageOutput = false;
    unsigned long m_troubleCount = 0;
    // Set while the rotation notice is being reported: that line starts the new log and
    // must never set off another rotation.
    bool m_reportingRotation = false;
    // A log that could not be renamed stays over its limit; the notice is given once.
    bool m_rotationFailureReported = false;
};
