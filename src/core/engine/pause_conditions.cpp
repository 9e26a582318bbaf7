#include "engine/pause_conditions.h"

#include <algorithm>
#include <thread>

#include "engine/engine_texts.h"
#include "engine/pacing.h"
#include "platform/platform_services.h"
#include "report/ask_user.h"
#include "report/format_text.h"
#include "report/pump.h"
#include "settings/application_core.h"

namespace {

// Long enough not to cost anything, short enough to keep the window responsive.
constexpr std::chrono::milliseconds kPumpSlice{50};

bool AbortRequested(CApplicationCore& core)
{
    return core.State().abortRequested != 0;
}

// Sleeps until deadline, handling the front end's events in between. False when an
// abort was requested (or the front end is quitting) meanwhile.
bool SleepUntil(CApplicationCore& core, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return true;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(deadline - now, kPumpSlice));
        if (!PumpPendingMessages(core.Services()))
            core.State().abortRequested = 1;
        if (AbortRequested(core))
            return false;
    }
}

} // namespace

bool CBatteryCheck::CheckBatteryPower()
{
    m_questionOpen = true;
    int& processingEnabled = m_core.State().processingEnabled;
    bool decided = false;
    if (PowerStatusOf(m_core.Services()).PowerLine() == EPowerLine::Offline) {
        if (!m_asked) {
            const int answer = AskUser(m_core.Output(), m_core.Services(), m_core.Settings().general.DlgTimer,
                                       EngineText::kBatteryQuestion, {}, kPauseQuestionBoxType, true);
            processingEnabled = answer == MessageBoxAnswer::kYes ? 0 : 1;
            m_asked = true;
            decided = true;
        }
    } else if (m_asked) {
        m_asked = false;
        processingEnabled = 1;
        decided = true;
    }
    m_questionOpen = false;
    return decided;
}

std::string FindWatchedApplication(CApplicationCore& core, const CPatternList& patterns)
{
    if (patterns.empty())
        return {};
    for (const std::string& name : RunningApplicationsOf(core.Services()).ApplicationNames()) {
        for (auto pattern = patterns.rbegin(); pattern != patterns.rend(); ++pattern) {
            if (MatchPattern(*pattern, name))
                return name;
        }
    }
    return {};
}

bool WaitForWatchedApplications(CApplicationCore& core, const CPatternList& patterns,
                                std::chrono::milliseconds checkInterval)
{
    bool log = true;
    for (;;) {
        // An abort (or the end of the program) must not be kept waiting for an
        // application that nobody closes.
        if (AbortRequested(core))
            return false;
        const auto checked = std::chrono::steady_clock::now();
        const std::string found = FindWatchedApplication(core, patterns);
        if (found.empty())
            return true;
        const int answer = AskUser(core.Output(), core.Services(), core.Settings().general.DlgTimer,
                                   FormatText(EngineText::kWatchedApplicationQuestionFormat, found.c_str()),
                                   {}, kPauseQuestionBoxType, log);
        log = false;
        if (answer == MessageBoxAnswer::kNo)
            return false;
        if (answer != MessageBoxAnswer::kTimeout)
            return true;
        if (!PaceStep(core))
            return false;
        // A question that could not wait (DlgTimer 0) returns at once.
        if (!SleepUntil(core, checked + checkInterval))
            return false;
    }
}
