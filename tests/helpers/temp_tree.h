#pragma once

// A temporary folder tree on the real file system, removed with the object.

#include <QTemporaryDir>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, std::string_view bytes);
// Sets the last-write (and access) time in whole seconds since 1970.
void SetFileTime(const std::string& path, std::time_t seconds);
std::time_t FileTime(const std::string& path);
bool PathExists(const std::string& path);  // without following a final symbolic link
int FileMode(const std::string& path);     // permission bits

class CTempTree
{
public:
    CTempTree();
    ~CTempTree();
    CTempTree(const CTempTree&) = delete;
    CTempTree& operator=(const CTempTree&) = delete;
    bool IsValid() const { return m_dir.isValid(); }
    const std::string& Root() const { return m_root; }
    std::string Path(std::string_view relative) const;

    // Creates missing parent folders. With a time, the file gets that last-write time.
    std::string WriteFile(std::string_view relative, std::string_view contents,
                          std::optional<std::time_t> time = std::nullopt) const;
    std::string MakeFolder(std::string_view relative) const;
    std::string Read(std::string_view relative) const;
    bool Exists(std::string_view relative) const;

private:
    QTemporaryDir m_dir;
    std::string m_root;
};
