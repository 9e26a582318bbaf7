#pragma once

// What keeps a backup from harming the folders it works with: folders compared by what
// they are (device and inode, links resolved) rather than by how they are written, the
// availability of sources and destinations on removable or configured mounts, and
// symbolic links planted inside the backup tree.

#include <cstdint>
#include <string>
#include <vector>

class CApplicationCore;
class CBackupProcessor;
struct CFileSetting;

// True when folder (an existing folder, links resolved) is path itself or one of the
// folders above it. False when either cannot be read.
bool FolderHoldsPath(const std::string& folder, const std::string& path);

// True when a and b are the same existing folder.
bool IsSameFolder(const std::string& a, const std::string& b);
// True when a and b lead to the same existing file or folder (links followed).
bool IsSameFile(const std::string& a, const std::string& b);

// Reports every folder of the loaded rules (destination, new-file and generation
// folders for source, and the move and recycle folders its actions use) that is the
// source or holds it, with an error each. True when there is none.
bool CheckFoldersAgainstSource(CBackupProcessor& processor, const std::string& source);

// At monitoring start: reports what CheckFoldersAgainstSource reports for setting, and
// has processor remember the devices of the setting's source and destination root.
void CheckSettingAtStart(CBackupProcessor& processor, const CFileSetting& setting);

// The mount points the administrator configured (/etc/fstab and the mount units of
// /etc/systemd/system).
std::vector<std::string> ConfiguredMountPoints(const std::string& fstab = "/etc/fstab",
                                               const std::string& unitFolder = "/etc/systemd/system");

// True when path lies in one of mountPoints that is not mounted now, so that what is
// found there is the bare folder on the file system below.
bool IsInUnmountedMount(const std::string& path, const std::vector<std::string>& mountPoints);

// The first symbolic link on the way from root down to folder (folder included, root
// excluded), or "" when there is none (or folder does not lie below root).
std::string FirstLinkBelow(const std::string& root, const std::string& folder);

// A trash folder of the desktop kept on the file system itself (".Trash", ".Trash-1000").
bool IsTrashFolderName(const std::string& name);

// The device of an existing folder.
bool DeviceOf(const std::string& folder, std::uint64_t& device);

// True when folder has no entry (other than the temporary copies of this program).
bool IsEmptyFolder(const std::string& folder);
