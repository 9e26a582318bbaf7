#pragma once

// The general settings that reporting reads: what is shown, where the log goes and which
// sounds play. The settings model holds them as part of its general settings; reporting
// reads them live, so a change made by a dialog applies to the next message.

#include <string>

#include "platform/path_value.h"

struct CReportSettings
{
    int DispDetailInfo = 1;
    int DispDebugInfo = 0;
    CPathValue LogFile;
    int LogSize = 10000;
    int Sound = 1;
    int SoundW = 0;
    int SoundE = 0;
    std::string SoundFile;
    std::string SoundWFile;
    std::string SoundEFile;

    bool operator==(const CReportSettings&) const = default;
};
