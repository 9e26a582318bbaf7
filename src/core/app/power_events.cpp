#include "app/power_events.h"

#include "app/app_texts.h"
#include "report/format_text.h"

namespace {

const char* EventText(int code)
{
    switch (code) {
    case PowerEvent::kQuerySuspend:
        return AppText::kPowerQuerySuspend;
    case PowerEvent::kQuerySuspendFailed:
        return AppText::kPowerQuerySuspendFailed;
    case PowerEvent::kSuspend:
        return AppText::kPowerSuspend;
    case PowerEvent::kResumeCritical:
        return AppText::kPowerResumeCritical;
    case PowerEvent::kResumeSuspend:
        return AppText::kPowerResumeSuspend;
    case PowerEvent::kBatteryLow:
        return AppText::kPowerBatteryLow;
    case PowerEvent::kPowerStatusChange:
        return AppText::kPowerStatusChange;
    case PowerEvent::kOemEvent:
        return AppText::kPowerOemEvent;
    case PowerEvent::kResumeAutomatic:
        return AppText::kPowerResumeAutomatic;
    default:
        return AppText::kPowerUnknownEvent;
    }
}

const char* AcLineText(int acLine)
{
    return acLine == 0 ? AppText::kPowerAcOff : acLine == 1 ? AppText::kPowerAcOn : AppText::kPowerAcUnknown;
}

} // namespace

CPowerEventRow DescribePowerEvent(int code, const CSystemPowerStatus* status, unsigned long data)
{
    CPowerEventRow row;
    row.message = std::string(AppText::kPowerEventPrefix) + EventText(code);
    if (code == PowerEvent::kPowerStatusChange && status != nullptr)
        row.info =
            FormatText(AppText::kPowerStatusFormat, AcLineText(status->acLine), status->batteryLifePercent,
                       status->batteryFlag, static_cast<int>(status->batteryLifeTime),
                       static_cast<int>(status->batteryFullLifeTime));
    else if (code == PowerEvent::kOemEvent)
        row.info = FormatText(AppText::kPowerOemDataFormat, data);
    return row;
}
