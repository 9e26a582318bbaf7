#include "helpers/tree_compare.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "helpers/temp_tree.h"

namespace {

std::vector<std::string> NamesOf(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.emplace_back(entry->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string LinkTarget(const std::string& path)
{
    std::string target(4096, '\0');
    const ssize_t length = readlink(path.c_str(), target.data(), target.size());
    target.resize(length < 0 ? 0 : static_cast<std::size_t>(length));
    return target;
}

class CComparer
{
public:
    explicit CComparer(CTreeComparison& result) : m_result(result) {}

    void Compare(const std::string& source, const std::string& backup, const std::string& relative, bool top)
    {
        struct stat s
        {
        };
        struct stat b
        {
        };
        if (lstat(source.c_str(), &s) != 0) {
            Note("unreadable source", relative);
            return;
        }
        if (lstat(backup.c_str(), &b) != 0) {
            Note("missing", relative);
            return;
        }
        if ((s.st_mode & S_IFMT) != (b.st_mode & S_IFMT)) {
            Note("kind", relative);
            return;
        }
        if (S_ISLNK(s.st_mode)) {
            if (LinkTarget(source) != LinkTarget(backup))
                Note("target", relative);
        } else {
            if ((s.st_mode & 07777) != (b.st_mode & 07777))
                Note("mode", relative);
            if (S_ISREG(s.st_mode)
                && (s.st_size != b.st_size || ReadFileBytes(source) != ReadFileBytes(backup)))
                Note("contents", relative);
        }
        if (s.st_mtim.tv_sec != b.st_mtim.tv_sec || s.st_mtim.tv_nsec != b.st_mtim.tv_nsec)
            Note("time", relative);
        if (!S_ISDIR(s.st_mode))
            return;

        const std::vector<std::string> sourceNames = NamesOf(source);
        const std::vector<std::string> backupNames = NamesOf(backup);
        const std::string prefix = top ? std::string() : relative + "/";
        for (const std::string& name : backupNames)
            if (!std::binary_search(sourceNames.begin(), sourceNames.end(), name))
                Note("extra", prefix + name);
        for (const std::string& name : sourceNames) {
            ++m_result.entries;
            Compare(source + "/" + name, backup + "/" + name, prefix + name, false);
        }
    }

private:
    void Note(const char* what, const std::string& relative)
    {
        m_result.differences.push_back(std::string(what) + " " + relative);
    }

    CTreeComparison& m_result;
};

} // namespace

CTreeComparison CompareTrees(const std::string& source, const std::string& backup)
{
    CTreeComparison result;
    CComparer(result).Compare(source, backup, ".", true);
    return result;
}

std::string DifferencesText(const CTreeComparison& comparison)
{
    std::string text;
    for (const std::string& difference : comparison.differences)
        text += difference + "\n";
    return text;
}
