#include "platform/mount_table.h"

#include <fstream>
#include <sstream>

std::string UnescapeMountField(std::string_view text)
{
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto octal = [&](std::size_t at) {
            return at < text.size() && text[at] >= '0' && text[at] <= '7';
        };
        if (text[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            result +=
                static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0'));
            i += 3;
        } else {
            result += text[i];
        }
    }
    return result;
}

std::vector<CMount> ReadMounts(const std::string& mountInfo)
{
    std::vector<CMount> mounts;
    std::ifstream file(mountInfo);
    std::string line;
    while (std::getline(file, line)) {
        // id parent major:minor root mount-point options [optional fields] - type source ...
        const auto separator = line.find(" - ");
        if (separator == std::string::npos)
            continue;
        std::istringstream head(line.substr(0, separator));
        std::istringstream tail(line.substr(separator + 3));
        std::string id, parent, device, root, mountPoint;
        CMount mount;
        head >> id >> parent >> device >> root >> mountPoint;
        tail >> mount.fileSystem >> mount.source;
        mount.mountPoint = UnescapeMountField(mountPoint);
        mount.source = UnescapeMountField(mount.source);
        mounts.push_back(std::move(mount));
    }
    return mounts;
}
