#pragma once

// Compares a backup with its source the way a restore would see it: every entry of either
// tree, its kind, a file's bytes, a link's target text (links are never followed), the
// last-write time to the nanosecond and the permission bits (not of links). The top
// folders' own time and permissions count too.

#include <cstddef>
#include <string>
#include <vector>

struct CTreeComparison
{
    // One line per difference: what differs and the path below the top ("." for the top).
    std::vector<std::string> differences;
    // Entries of the source below its top that were compared.
    std::size_t entries = 0;
};

CTreeComparison CompareTrees(const std::string& source, const std::string& backup);

// The differences one a line, for the message of a failed check.
std::string DifferencesText(const CTreeComparison& comparison);
