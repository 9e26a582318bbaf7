#pragma once

// The one place that knows how paths are composed and split. Paths are byte strings:
// a name that is not valid UTF-8 passes through every function unchanged.

#include <string>
#include <string_view>

inline constexpr char kPathSeparator = '/';

// dir + "/" + name, without doubling a separator that dir already ends with.
std::string JoinPath(std::string_view dir, std::string_view name);

// The folder part of a path, without a trailing separator ("/a/b" -> "/a", "/a" -> "/").
std::string ParentPath(std::string_view path);

// The last component of a path ("/a/b.txt" -> "b.txt").
std::string FileNameOf(std::string_view path);

// Splits a file name at its last dot: "a.tar.gz" -> "a.tar" + ".gz". A leading dot
// marks a hidden file, not an extension: ".profile" -> ".profile" + "".
void SplitNameExtension(std::string_view fileName, std::string& name, std::string& extension);

// Removes trailing separators, keeping a lone "/".
std::string WithoutTrailingSeparator(std::string_view path);

// True when path equals folder or lies below it (component-wise, not by prefix bytes).
bool IsSameOrInside(std::string_view path, std::string_view folder);

// A network path is written "//server/share/...".
bool IsUncPath(std::string_view path);

// For a network path the root is "//server" and the rest begins with the "/" after it.
// Local paths have no drive: the root is empty and the rest is the whole path.
void SplitPathRoot(std::string_view path, std::string& root, std::string& rest);

// The server-and-share part of a network path: everything before its fourth "/"
// ("//srv/data/x/y.txt" -> "//srv/data"), the whole path when it has fewer.
std::string GetShareRoot(std::string_view path);
