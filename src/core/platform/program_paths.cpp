#include "platform/program_paths.h"

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/path.h"

namespace {

std::string HomeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/tmp";
}

void MakeFolders(const std::string& path, mode_t mode)
{
    if (path.empty() || FileExists(path))
        return;
    MakeFolders(ParentPath(path), mode);
    mkdir(path.c_str(), mode);
}

}  // namespace

bool FileExists(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

std::string GetProgramDirectory()
{
    std::string buffer(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0)
        return "./";
    buffer.resize(static_cast<std::size_t>(length));
    return ParentPath(buffer) + kPathSeparator;
}

std::string GetConfigDirectory()
{
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const std::string base = configHome && *configHome && configHome[0] == '/'
                                 ? std::string(configHome)
                                 : JoinPath(HomeDirectory(), ".config");
    const std::string folder = JoinPath(base, "tovix");
    MakeFolders(folder, 0700);
    return folder;
}

std::string ResolveSettingsFilePath(std::string_view name)
{
    if (name.find(kPathSeparator) != std::string_view::npos)
        return std::string(name);
    return JoinPath(GetConfigDirectory(), name);
}

std::string FindDataFile(std::string_view name)
{
    const std::string programDirectory = GetProgramDirectory();
    const std::string besideProgram = programDirectory + std::string(name);
    if (FileExists(besideProgram))
        return besideProgram;
    // An install under another prefix than the configured one keeps its data folder in
    // the same place relative to the programs.
    const std::string relocated = JoinPath(programDirectory + TOVIX_DATA_DIR_FROM_PROGRAM, name);
    if (FileExists(relocated))
        return relocated;
    const std::string installed = JoinPath(TOVIX_DATA_DIR, name);
    return FileExists(installed) ? installed : besideProgram;
}
