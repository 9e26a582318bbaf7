// Copies a file or a whole tree with the file operations layer and prints the seconds it
// took, so that bench/run_copy can set it against other copy programs.
//
//   copy_bench SOURCE TARGET
//
// A folder is copied recursively: folders with CreateFolderLike, everything else with
// CFileOperation::Copy. TARGET must not exist yet.

#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "engine/file_operation.h"
#include "engine/folder_operations.h"
#include "platform/last_error.h"
#include "platform/path.h"
#include "report/format_text.h"
#include "settings/application_core.h"

namespace {

int g_files = 0;

bool CopyTree(CFileOperation& operation, const std::string& source, const std::string& target)
{
    CreateFolderLike(source, target);
    if (GetLastSystemError() != 0) {
        std::fprintf(stderr, "cannot create %s%s\n", target.c_str(), SystemErrorSuffix().c_str());
        return false;
    }
    DIR* dir = opendir(source.c_str());
    if (dir == nullptr)
        return false;
    std::vector<std::pair<std::string, bool>> entries;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bool folder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat status {};
            folder = lstat(JoinPath(source, name).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
        }
        entries.emplace_back(name, folder);
    }
    closedir(dir);
    for (const auto& [name, folder] : entries) {
        const std::string from = JoinPath(source, name);
        const std::string to = JoinPath(target, name);
        if (folder) {
            if (!CopyTree(operation, from, to))
                return false;
        } else if (operation.Copy(from, to) != 0) {
            std::fprintf(stderr, "cannot copy %s%s\n", from.c_str(), SystemErrorSuffix().c_str());
            return false;
        } else {
            ++g_files;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE TARGET\n", argv[0]);
        return 2;
    }
    CSystemClock clock;
    CNoKeyState keys;
    const CHostServices services{nullptr, nullptr, nullptr, nullptr, &clock, &keys};
    CApplicationCore core(services, CCommandLine{});
    CFileOperation operation(core, std::string());

    const std::string source = WithoutTrailingSeparator(argv[1]);
    const std::string target = WithoutTrailingSeparator(argv[2]);
    struct stat status {};
    if (lstat(source.c_str(), &status) != 0) {
        std::perror(source.c_str());
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    bool ok = true;
    if (S_ISDIR(status.st_mode)) {
        ok = CopyTree(operation, source, target);
    } else {
        ok = operation.Copy(source, target) == 0;
        if (!ok)
            std::fprintf(stderr, "cannot copy %s%s\n", source.c_str(), SystemErrorSuffix().c_str());
        g_files = ok ? 1 : 0;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (!ok)
        return 1;
    std::printf("%.6f %d\n", elapsed.count(), g_files);
    return 0;
}
