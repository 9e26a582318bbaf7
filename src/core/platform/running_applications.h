#pragma once

// What runs on the desktop, for the applications a backup must wait for (disk checkers,
// defragmenters): a watched pattern may name a window title or a program.

#include <string>
#include <vector>

class IRunningApplications
{
public:
    virtual ~IRunningApplications() = default;
    // The titles of the desktop's top-level windows (minimised and hidden ones included)
    // first, then the names of the running programs; empty where nothing can be learnt.
    virtual std::vector<std::string> ApplicationNames() = 0;
};
