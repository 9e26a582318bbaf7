#pragma once

// The free-space report and warning for a backup destination after its files were
// processed (and after a file dropped on the main window was copied).

#include <string>

class CApplicationCore;

// The drive root of a destination: for a network path its share ("//srv/share"), else
// the mount point of the file system holding it.
std::string DestinationDriveRoot(CApplicationCore& core, const std::string& destination);

// Reports the free space of the drive holding destination in MB (with its label and
// file-system type) and, once it has fallen to BakDrvAlertSize MB or below, warns and
// lowers BakDrvAlertSize in memory to one MB below the free space, so that the next
// warning needs at least another MB to go. Always true.
bool CheckDestinationDrive(CApplicationCore& core, const std::string& destination);
