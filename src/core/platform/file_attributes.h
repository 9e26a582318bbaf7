#pragma once

// The file attributes the backup rules speak of, mapped onto POSIX files:
//   read-only  no write permission for the owner;
//   hidden     the name begins with ".";
//   archive    "changed since it was last backed up": an extended attribute records the
//              modification time and size that were backed up, and a file without that
//              record, or whose time or size differ from it, has the archive bit. On a
//              file system without extended attributes every file has it.
// Functions that can fail return 0 or the errno value of the failing call.

#include <string>
#include <string_view>

// The extended attribute that holds the backed-up state ("<sec>.<nsec>:<size>").
inline constexpr const char* kArchiveStateAttribute = "user.tovix.archived";

// mode: the permission bits (or a whole mode word) of the file.
bool IsReadOnlyMode(unsigned mode);
bool IsHiddenName(std::string_view fileName);

// True unless the file carries a record matching its current time (in whole seconds)
// and size (also true when the file cannot be read or the file system keeps no extended
// attributes).
bool HasArchiveBit(const std::string& path);

// False when the file system of path keeps no extended attributes, so that no archive
// state can be recorded there.
bool KeepsArchiveState(const std::string& path);

// Records the file's current state as backed up. A file without owner write permission
// is made writable for the moment, because the kernel asks for write access to change
// user extended attributes.
int ClearArchiveBit(const std::string& path);
// The same with a given record, for a state that was read earlier (the one a copy
// actually took).
int RecordArchiveState(const std::string& path, const std::string& state);

// "Normal attributes": the owner may write. Symbolic links have no mode of their own and
// are left alone.
int SetAttributesNormal(const std::string& path);
