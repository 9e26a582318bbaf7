#pragma once

// Running applications on a Linux desktop: the titles of the top-level windows the X
// server's window manager lists (EWMH _NET_CLIENT_LIST; under Wayland this reaches the
// X clients only), then the program names of the processes in /proc.

#include <string>
#include <vector>

#include "platform/running_applications.h"

class CLinuxRunningApplications final : public IRunningApplications
{
public:
    explicit CLinuxRunningApplications(std::string procRoot = "/proc");

    std::vector<std::string> ApplicationNames() override;

private:
    std::string m_procRoot;
};

// Window titles of the display named by DISPLAY; empty without a display or without an
// EWMH window manager.
std::vector<std::string> X11WindowTitles();

// For every user-space process, its short name (comm) and the file name of its argv[0]
// (comm is cut at 15 bytes); each name once, in process order.
std::vector<std::string> ProcessNames(const std::string& procRoot);
