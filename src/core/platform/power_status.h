#pragma once

// Whether the computer runs on its AC line, so that a backup can hold back on battery.

enum class EPowerLine
{
    Online,
    Offline,
    Unknown, // no supply says (a desktop without power-supply information, a container)
};

class IPowerStatus
{
public:
    virtual ~IPowerStatus() = default;
    virtual EPowerLine PowerLine() = 0;
};
