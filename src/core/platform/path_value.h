#pragma once

// A path setting is held as the user wrote it (what is saved) and with its environment
// references expanded (what the program uses).

#include <string>

struct CPathValue
{
    std::string raw;
    std::string expanded;

    void Assign(std::string rawText);
    bool operator==(const CPathValue&) const = default;
};
