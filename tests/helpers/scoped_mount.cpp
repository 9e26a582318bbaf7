#include "helpers/scoped_mount.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

CScopedMount::CScopedMount(std::string folder, const std::string& options, const char* type)
    : m_folder(std::move(folder))
{
    mkdir(m_folder.c_str(), 0755);
    m_mounted = geteuid() == 0
                && mount(type, m_folder.c_str(), type, 0, options.empty() ? nullptr : options.c_str()) == 0;
}

CScopedMount::~CScopedMount()
{
    if (m_mounted)
        umount2(m_folder.c_str(), MNT_DETACH);
}

bool CScopedMount::Unmount()
{
    if (!m_mounted || umount2(m_folder.c_str(), 0) != 0)
        return false;
    m_mounted = false;
    return true;
}
