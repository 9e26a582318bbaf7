#pragma once

// The desktop's trash (freedesktop.org trash layout), so that files the backup removes
// can be restored with the desktop's file manager:
//   a file on the file system of the home trash goes to $XDG_DATA_HOME/Trash
//   (default ~/.local/share/Trash);
//   a file on another mount goes to $topdir/.Trash/$uid when the administrator prepared
//   $topdir/.Trash (a real folder with the sticky bit), else to $topdir/.Trash-$uid.
// Each entry gets its info/<name>.trashinfo first, created exclusively, so that a name
// already in the trash makes a new name ("name.2.ext") instead of replacing anything.

#include <ctime>
#include <string>
#include <string_view>

// Returns 0 or the errno value of the failing call.
int MoveToTrash(const std::string& path, std::time_t deletionTime);

std::string HomeTrashFolder();

// Percent-encodes everything but unreserved characters and "/" (for the Path key).
std::string EncodeTrashInfoPath(std::string_view path);
