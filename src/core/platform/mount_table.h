#pragma once

// The mount table of this process, as /proc/self/mountinfo lists it.

#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kProcessMountInfo = "/proc/self/mountinfo";

struct CMount
{
    std::string mountPoint;
    std::string fileSystem;
    std::string source;
};

std::vector<CMount> ReadMounts(const std::string& mountInfo = kProcessMountInfo);

// mountinfo writes blanks, tabs, newlines and backslashes of paths as \ooo.
std::string UnescapeMountField(std::string_view text);
