#include "helpers/temp_tree.h"

#include <QDir>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/path.h"

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

void SetFileTime(const std::string& path, std::time_t seconds)
{
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        throw std::runtime_error("cannot set the time of " + path);
}

std::time_t FileTime(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? st.st_mtim.tv_sec : 0;
}

bool PathExists(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

int FileMode(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

namespace {

int RemoveEntry(const char* path, const struct stat*, int type, FTW*)
{
    return type == FTW_DP ? rmdir(path) : unlink(path);
}

}  // namespace

CTempTree::CTempTree() : m_root(m_dir.path().toStdString()) {}

// Qt's recursive removal goes through QString and cannot name files whose names are not
// valid UTF-8; the tests make such files on purpose, so remove the tree by bytes.
CTempTree::~CTempTree()
{
    if (!m_root.empty())
        nftw(m_root.c_str(), RemoveEntry, 32, FTW_DEPTH | FTW_PHYS);
}

std::string CTempTree::Path(std::string_view relative) const
{
    return relative.empty() ? m_root : JoinPath(m_root, relative);
}

std::string CTempTree::MakeFolder(std::string_view relative) const
{
    const std::string path = Path(relative);
    QDir().mkpath(QString::fromStdString(path));
    return path;
}

std::string CTempTree::WriteFile(std::string_view relative, std::string_view contents,
                                 std::optional<std::time_t> time) const
{
    const std::string path = Path(relative);
    QDir().mkpath(QString::fromStdString(ParentPath(path)));
    WriteFileBytes(path, contents);
    if (time)
        SetFileTime(path, *time);
    return path;
}

std::string CTempTree::Read(std::string_view relative) const { return ReadFileBytes(Path(relative)); }

bool CTempTree::Exists(std::string_view relative) const { return PathExists(Path(relative)); }
