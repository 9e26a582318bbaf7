#include "platform/linux/power_supply.h"

#include <algorithm>
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

} // namespace

CLinuxPowerStatus::CLinuxPowerStatus(std::string root) : m_root(std::move(root)) {}

EPowerLine CLinuxPowerStatus::PowerLine()
{
    DIR* dir = opendir(m_root.c_str());
    if (dir == nullptr)
        return EPowerLine::Unknown;
    std::vector<std::string> supplies;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.')
            supplies.push_back(JoinPath(m_root, entry->d_name));
    }
    closedir(dir);
    std::sort(supplies.begin(), supplies.end());

    bool lineOffline = false;
    bool batteryDischarging = false;
    for (const std::string& supply : supplies) {
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
