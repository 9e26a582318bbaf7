#pragma once

// Where the backup of a source folder lives. A walk keeps every folder path without a
// final separator, so that a suffix beginning with "/" can be appended to any root; the
// file system root itself is held as the empty text for the same reason.

#include <string>
#include <string_view>

// A folder path as a root to append suffixes to: trailing separators removed, and "/"
// itself becomes "".
std::string FolderRootOf(std::string_view path);

// The part appended to the destination, new-file and generation roots for one source
// folder (sourceFolder without its final separator, relativePath below the walk's top,
// each level "/" + name):
//   own destination          the relative path ("/Sub");
//   network source           the path without its first "/" ("//srv/share/dir" gives
//                            "/srv/share/dir");
//   local source             the source path itself ("/home/a/Data").
std::string DestinationSuffix(bool ownDestination, std::string_view relativePath,
                              std::string_view sourceFolder);

// root + suffix; "/" when both are empty (a backup of "/" into "/").
std::string AppendFolderSuffix(std::string_view root, std::string_view suffix);
