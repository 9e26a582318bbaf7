#pragma once

// A file system of its own (a tmpfs by default) mounted on a folder for the scope of a test
// and detached at its end, also when a check failed. Mounting needs root: IsMounted() says
// whether it worked.

#include <string>

class CScopedMount
{
public:
    // options: mount data such as "size=1m"; the folder is made when missing.
    explicit CScopedMount(std::string folder, const std::string& options = {}, const char* type = "tmpfs");
    ~CScopedMount();
    CScopedMount(const CScopedMount&) = delete;
    CScopedMount& operator=(const CScopedMount&) = delete;

    bool IsMounted() const { return m_mounted; }
    // Unmounts now (not lazily): false when the file system was busy or not mounted.
    bool Unmount();

private:
    std::string m_folder;
    bool m_mounted = false;
};
