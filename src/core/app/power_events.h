#pragma once

// The report row of a power-management event: suspend and resume, battery low, a
// changed power status. Each front end that learns of such an event (the desktop's
// session and power services) adds this row to its report list as it is, outside the log.

#include <string>

#include "platform/power_status.h"

// The event codes the rows are numbered by.
namespace PowerEvent {
inline constexpr int kQuerySuspend = 0;
inline constexpr int kQuerySuspendFailed = 2;
inline constexpr int kSuspend = 4;
inline constexpr int kResumeCritical = 6;
inline constexpr int kResumeSuspend = 7;
inline constexpr int kBatteryLow = 9;
inline constexpr int kPowerStatusChange = 10;
inline constexpr int kOemEvent = 11;
inline constexpr int kResumeAutomatic = 18;
} // namespace PowerEvent

struct CPowerEventRow
{
    std::string message; // "APM Event - " + the event's text
    std::string info;
};

// status: the power status read when the event came, or null when it could not be read.
// data: the event's own value (shown for OEM events).
CPowerEventRow DescribePowerEvent(int code, const CSystemPowerStatus* status, unsigned long data = 0);
