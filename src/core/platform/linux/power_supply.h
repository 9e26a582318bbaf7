#pragma once

// The power status from the kernel's power-supply class (/sys/class/power_supply): each
// supply is a folder with a "type" file and, for line supplies, an "online" file.

#include <string>
#include <vector>

#include "platform/power_status.h"

class CLinuxPowerStatus final : public IPowerStatus
{
public:
    explicit CLinuxPowerStatus(std::string root = "/sys/class/power_supply");

    // Online when any line supply (mains, USB, wireless …) is online; Offline when line
    // supplies exist and all are offline, or when there is none and a system battery
    // discharges; Unknown otherwise. Batteries of peripherals (scope "Device") do not
    // count.
    EPowerLine PowerLine() override;
    // The AC line as PowerLine has it; the battery from the system batteries together
    // (charge summed, time left from the present rate while discharging).
    bool ReadSystemStatus(CSystemPowerStatus& status) override;

private:
    std::vector<std::string> Supplies() const;

    std::string m_root;
};
