#include "platform/path.h"

std::string JoinPath(std::string_view dir, std::string_view name)
{
    std::string result(dir);
    if (!result.empty() && result.back() != kPathSeparator)
        result += kPathSeparator;
    result += name;
    return result;
}

std::string WithoutTrailingSeparator(std::string_view path)
{
    while (path.size() > 1 && path.back() == kPathSeparator)
        path.remove_suffix(1);
    return std::string(path);
}

std::string ParentPath(std::string_view path)
{
    const std::string trimmed = WithoutTrailingSeparator(path);
    const auto slash = trimmed.rfind(kPathSeparator);
    if (slash == std::string::npos)
        return {};
    if (slash == 0)
        return std::string(1, kPathSeparator);
    return trimmed.substr(0, slash);
}

std::string FileNameOf(std::string_view path)
{
    const std::string trimmed = WithoutTrailingSeparator(path);
    const auto slash = trimmed.rfind(kPathSeparator);
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

void SplitNameExtension(std::string_view fileName, std::string& name, std::string& extension)
{
    const auto dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        name = fileName;
        extension.clear();
        return;
    }
    name = fileName.substr(0, dot);
    extension = fileName.substr(dot);
}

bool IsSameOrInside(std::string_view path, std::string_view folder)
{
    const std::string p = WithoutTrailingSeparator(path);
    const std::string f = WithoutTrailingSeparator(folder);
    if (f.empty() || p.size() < f.size() || p.compare(0, f.size(), f) != 0)
        return false;
    return p.size() == f.size() || f == "/" || p[f.size()] == kPathSeparator;
}

bool IsUncPath(std::string_view path)
{
    return path.size() > 2 && path[0] == kPathSeparator && path[1] == kPathSeparator;
}

void SplitPathRoot(std::string_view path, std::string& root, std::string& rest)
{
    if (IsUncPath(path)) {
        const auto slash = path.find(kPathSeparator, 2);
        root = path.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string() : std::string(path.substr(slash));
        return;
    }
    root.clear();
    rest = path;
}

std::string GetShareRoot(std::string_view path)
{
    std::size_t slashes = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == kPathSeparator && ++slashes == 4)
            return std::string(path.substr(0, i));
    }
    return std::string(path);
}
