#pragma once

// Whether the computer runs on its AC line, so that a backup can hold back on battery.

enum class EPowerLine
{
    Online,
    Offline,
    Unknown, // no supply says (a desktop without power-supply information, a container)
};

// The power status in the numbers the power-change report shows; values that cannot be
// known carry the codes for "unknown".
struct CSystemPowerStatus
{
    static constexpr int kUnknownByte = 255;
    static constexpr int kUnknownSeconds = -1;
    // Bits of batteryFlag.
    static constexpr int kFlagHigh = 1;
    static constexpr int kFlagLow = 2;
    static constexpr int kFlagCritical = 4;
    static constexpr int kFlagCharging = 8;
    static constexpr int kFlagNoBattery = 128;

    int acLine = kUnknownByte; // 0 off, 1 on
    int batteryFlag = kUnknownByte;
    int batteryLifePercent = kUnknownByte;
    long batteryLifeTime = kUnknownSeconds;     // seconds left on battery
    long batteryFullLifeTime = kUnknownSeconds; // seconds a full battery lasts
};

class IPowerStatus
{
public:
    virtual ~IPowerStatus() = default;
    virtual EPowerLine PowerLine() = 0;
    // False when the status cannot be read at all.
    virtual bool ReadSystemStatus(CSystemPowerStatus& status) { return false; }
};
