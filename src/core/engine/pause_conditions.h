#pragma once

// Conditions that hold backup work back: the computer running on battery, and an
// application running that a backup must not disturb (disk checkers, defragmenters).
// Each is put to the user as a timed question that decides by itself when nobody
// answers.

#include <chrono>

#include "engine/pattern.h"
#include "platform/host_services.h"

class CApplicationCore;

inline constexpr unsigned kPauseQuestionBoxType =
    MessageBoxType::kYesNo | MessageBoxType::kIconQuestion | MessageBoxType::kTopmost;

// The battery question, put once per battery period. Lives as long as the pass driver.
class CBatteryCheck
{
public:
    explicit CBatteryCheck(CApplicationCore& core) : m_core(core) {}

    // On battery, asks (once until the AC line returns) whether to hold: Yes holds the
    // processing, No or no answer makes it ready. When the AC line returns after a
    // question, processing becomes ready again by itself. True when it set the
    // processing-enabled flag (an answer, or the AC line's return).
    bool CheckBatteryPower();
    // True while the question is on the screen: a pass that a timer starts meanwhile
    // must end at once instead of asking again.
    bool IsQuestionOpen() const { return m_questionOpen; }

private:
    CApplicationCore& m_core;
    bool m_asked = false;
    bool m_questionOpen = false;
};

// How often the running applications are looked at while nobody can be asked (a
// DlgTimer of 0): waiting must not keep a core busy.
inline constexpr std::chrono::milliseconds kWatchCheckInterval{1000};

// Waits while an application matching one of patterns runs, asking every DlgTimer
// seconds whether to go on. True to go on (Yes, or the application has ended); false
// to stop (No, or an abort was requested meanwhile). The first question is logged.
// Checks are at least checkInterval apart.
bool WaitForWatchedApplications(CApplicationCore& core, const CPatternList& patterns,
                                std::chrono::milliseconds checkInterval = kWatchCheckInterval);

// The first running application (window title, then program name) that one of patterns
// matches, the patterns tried from the last to the first; "" when none.
std::string FindWatchedApplication(CApplicationCore& core, const CPatternList& patterns);
