#include "platform/linux/power_supply.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <vector>

#include "platform/path.h"

namespace {

// The first line of a sysfs attribute, "" when it cannot be read.
std::string ReadAttribute(const std::string& supply, const char* name)
{
    std::ifstream file(JoinPath(supply, name));
    std::string value;
    std::getline(file, value);
    while (!value.empty() && (value.back() == '\n' || value.back() == ' '))
        value.pop_back();
    return value;
}

// A numeric attribute, or -1 when it is missing or not a number.
long long ReadNumber(const std::string& supply, const char* name)
{
    const std::string text = ReadAttribute(supply, name);
    if (text.empty())
        return -1;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    return end != nullptr && *end == '\0' && value >= 0 ? value : -1;
}

// What a system battery holds, in energy (µWh) or, where it reports charge, in µAh; the
// rate in the matching unit per hour.
struct CBatteryAmounts
{
    long long now = 0;
    long long full = 0;
    long long rate = 0;
    bool charging = false;
    bool complete = true; // every battery reported its amounts
};

void AddBattery(const std::string& supply, CBatteryAmounts& amounts)
{
    const bool energy = ReadNumber(supply, "energy_now") >= 0;
    const long long now = ReadNumber(supply, energy ? "energy_now" : "charge_now");
    const long long full = ReadNumber(supply, energy ? "energy_full" : "charge_full");
    const long long rate = ReadNumber(supply, energy ? "power_now" : "current_now");
    if (now < 0 || full <= 0)
        amounts.complete = false;
    else {
        amounts.now += now;
        amounts.full += full;
    }
    if (rate > 0)
        amounts.rate += rate;
    amounts.charging = amounts.charging || ReadAttribute(supply, "status") == "Charging";
}

int BatteryFlag(int percent, bool charging)
{
    int flag = percent > 66 ? CSystemPowerStatus::kFlagHigh : percent < 33 ? CSystemPowerStatus::kFlagLow : 0;
    if (percent < 5)
        flag |= CSystemPowerStatus::kFlagCritical;
    if (charging)
        flag |= CSystemPowerStatus::kFlagCharging;
    return flag;
}

} // namespace

CLinuxPowerStatus::CLinuxPowerStatus(std::string root) : m_root(std::move(root)) {}

std::vector<std::string> CLinuxPowerStatus::Supplies() const
{
    std::vector<std::string> supplies;
    DIR* dir = opendir(m_root.c_str());
    if (dir == nullptr)
        return supplies;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.')
            supplies.push_back(JoinPath(m_root, entry->d_name));
    }
    closedir(dir);
    std::sort(supplies.begin(), supplies.end());
    return supplies;
}

EPowerLine CLinuxPowerStatus::PowerLine()
{
    bool lineOffline = false;
    bool batteryDischarging = false;
    for (const std::string& supply : Supplies()) {
        if (ReadAttribute(supply, "scope") == "Device")
            continue;
        const std::string type = ReadAttribute(supply, "type");
        if (type == "Battery") {
            batteryDischarging = batteryDischarging || ReadAttribute(supply, "status") == "Discharging";
            continue;
        }
        const std::string online = ReadAttribute(supply, "online");
        if (online.empty())
            continue;
        if (online != "0")
            return EPowerLine::Online;
        lineOffline = true;
    }
    if (lineOffline || batteryDischarging)
        return EPowerLine::Offline;
    return EPowerLine::Unknown;
}

bool CLinuxPowerStatus::ReadSystemStatus(CSystemPowerStatus& status)
{
    status = CSystemPowerStatus{};
    const EPowerLine line = PowerLine();
    status.acLine = line == EPowerLine::Online ? 1 : line == EPowerLine::Offline ? 0 : CSystemPowerStatus::kUnknownByte;

    CBatteryAmounts amounts;
    int batteries = 0;
    for (const std::string& supply : Supplies()) {
        if (ReadAttribute(supply, "type") != "Battery" || ReadAttribute(supply, "scope") == "Device")
            continue;
        ++batteries;
        AddBattery(supply, amounts);
    }
    if (batteries == 0) {
        status.batteryFlag = CSystemPowerStatus::kFlagNoBattery;
        return true;
    }
    if (!amounts.complete)
        return true;
    const int percent = static_cast<int>(std::min<long long>(100, amounts.now * 100 / amounts.full));
    status.batteryLifePercent = percent;
    status.batteryFlag = BatteryFlag(percent, amounts.charging);
    if (status.acLine == 0 && amounts.rate > 0) {
        constexpr long long kSecondsPerHour = 3600;
        status.batteryLifeTime = static_cast<long>(amounts.now * kSecondsPerHour / amounts.rate);
        status.batteryFullLifeTime = static_cast<long>(amounts.full * kSecondsPerHour / amounts.rate);
    }
    return true;
}
