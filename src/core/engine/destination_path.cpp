#include "engine/destination_path.h"

#include "platform/path.h"

std::string FolderRootOf(std::string_view path)
{
    std::string root = WithoutTrailingSeparator(path);
    if (root.size() == 1 && root[0] == kPathSeparator)
        root.clear();
    return root;
}

std::string DestinationSuffix(bool ownDestination, std::string_view relativePath,
                              std::string_view sourceFolder)
{
    if (ownDestination)
        return std::string(relativePath);
    if (IsUncPath(sourceFolder))
        return std::string(sourceFolder.substr(1));
    // Local paths have no drive to turn into a folder name: the whole path below the
    // file system root is the suffix.
    std::string root;
    std::string rest;
    SplitPathRoot(sourceFolder, root, rest);
    if (!rest.empty() && rest.front() != kPathSeparator)
        rest.insert(rest.begin(), kPathSeparator);
    return rest;
}

std::string AppendFolderSuffix(std::string_view root, std::string_view suffix)
{
    std::string folder(root);
    folder += suffix;
    if (folder.empty())
        folder = std::string(1, kPathSeparator);
    return folder;
}
