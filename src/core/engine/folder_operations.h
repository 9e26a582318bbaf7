#pragma once

// Folder paths and folder trees. Each function sets the last system error (0 when it
// succeeded). Network paths work through the share's local mount.

#include <string>
#include <string_view>

class CApplicationCore;

// Makes sure folder exists, creating missing levels. Reports one "folder created"
// detail for a path that needed creating, or an error naming the level that could not
// be created. True when the folder exists afterwards.
bool EnsureFolder(CApplicationCore& core, std::string_view folder);

// Creates the missing levels of folder, outermost first. True when folders were created.
// False with *failing empty when folder existed already; false with *failing naming the
// level that could not be created otherwise (also folder itself when something that is
// not a folder stands in its place).
bool CreateFolderPath(std::string_view folder, std::string* failing = nullptr);

// Creates one folder; with a template folder it takes the template's permissions (the
// owner always keeps full access, so that the folder can be filled). The result is left
// in the last system error only.
void CreateFolderLike(std::string_view templateFolder, std::string_view newFolder);

// Moves the tree below source into destination (merging with what is there, replacing
// files of the same name) or, with an empty destination, deletes it; then removes source.
// Symbolic links are moved or deleted themselves, never followed. Stops at the first
// failure, keeping what was done. True on success.
bool MoveOrDeleteTree(CApplicationCore& core, std::string_view source, std::string_view destination = {});

// True for an existing folder (a symbolic link to one counts).
bool IsExistingFolder(std::string_view path);
