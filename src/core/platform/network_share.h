#pragma once

// Network paths "//server/share/rest" on a desktop where shares are mounted by the
// virtual file system (gio mount smb://server/share, visible below
// $XDG_RUNTIME_DIR/gvfs/smb-share:server=…,share=…) or by the kernel's SMB client
// (listed in /proc/self/mountinfo with the source //server/share).

#include <string>
#include <string_view>

struct CShareName
{
    std::string server;
    std::string share;
};

// False when path is no network path naming a server and a share.
bool ParseShareName(std::string_view path, CShareName& name);

// The local folder where the share is mounted, or "" when it is not mounted.
std::string FindShareMountPoint(const CShareName& name);

// The path a file call can use: a local path as it is; for a network path the mount
// point of its share + the rest. Returns 0, or EHOSTDOWN when the share is not mounted
// (a network error, so that callers try to connect it, never a local "/server/share").
int ToLocalPath(std::string_view path, std::string& local);

// The URI gio mounts for a share ("smb://server/share").
std::string ShareUri(const CShareName& name);
