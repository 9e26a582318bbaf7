// tovix-zip: creates or updates a ZIP archive from a DOS-style archiver command line.
//
//   tovix-zip [options] archive file...
//
//   -u          update: add only files that are new or changed since they were stored
//   -r          recurse into the subfolders of each file argument's folder
//   -p          store paths relative to that folder (else the bare file name)
//   -x"pattern" leave out files whose name (or relative path) matches
//   -s"secret"  encrypt what is added with AES-256 under this password
//
// Options may be combined ("-rp") and may stand anywhere. A file argument is a folder
// followed by a wildcard pattern ("/home/a/Data/*.doc"), matched with the program's own
// pattern rules; an argument naming a folder means everything in it. An archive name
// without an extension gets ".zip". The archive is written to a temporary file that
// replaces it only when complete.
//
// Exit status: 0 done, 1 some files could not be added, 2 bad command line, 3 the
// archive could not be read or written.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>
#include <zip.h>

#include "engine/pattern.h"
#include "platform/path.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitSomeFilesFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitArchiveFailed = 3;
constexpr const char* kProgramName = "tovix-zip";
// Stored times have a resolution of two seconds.
constexpr time_t kTimeTolerance = 1;

struct COptions
{
    bool update = false;
    bool recurse = false;
    bool keepPaths = false;
    CPatternList excludes;
    std::string password;
    std::string archive;
    std::vector<std::string> files;
};

struct CCandidate
{
    std::string path;
    std::string storedName;
    struct stat status;
};

void Complain(const std::string& text)
{
    std::fprintf(stderr, "%s: %s\n", kProgramName, text.c_str());
}

bool ParseCommandLine(int argc, char** argv, COptions& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.size() < 2 || argument[0] != '-') {
            if (options.archive.empty())
                options.archive = argument;
            else
                options.files.push_back(argument);
            continue;
        }
        if (argument[1] == 'x') {
            if (argument.size() > 2)
                options.excludes.push_back(argument.substr(2));
            continue;
        }
        if (argument[1] == 's') {
            options.password = argument.substr(2);
            continue;
        }
        for (std::size_t at = 1; at < argument.size(); ++at) {
            switch (argument[at]) {
            case 'u':
                options.update = true;
                break;
            case 'r':
                options.recurse = true;
                break;
            case 'p':
                options.keepPaths = true;
                break;
            default:
                Complain("unknown option \"" + argument + "\"");
                return false;
            }
        }
    }
    if (options.archive.empty() || options.files.empty()) {
        Complain("usage: tovix-zip [-u] [-r] [-p] [-x\"pattern\"] [-s\"password\"] archive file...");
        return false;
    }
    return true;
}

bool IsFolder(const std::string& path)
{
    struct stat status
    {
    };
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

class CCollector
{
public:
    CCollector(const COptions& options, const struct stat* archiveStatus)
        : m_options(options), m_archiveStatus(archiveStatus)
    {
    }

    // Collects the files one file argument names.
    void AddArgument(const std::string& argument)
    {
        std::string folder;
        std::string pattern;
        if (IsFolder(argument)) {
            folder = argument;
            pattern = "*";
        } else if (argument.find(kPathSeparator) == std::string::npos) {
            folder = ".";
            pattern = argument;
        } else {
            folder = ParentPath(argument);
            pattern = FileNameOf(argument);
        }
        if (!IsFolder(folder)) {
            Complain("no such folder: " + folder);
            m_failed = true;
            return;
        }
        Walk(folder, {}, pattern);
    }

    std::vector<CCandidate>& Candidates() { return m_candidates; }
    bool Failed() const { return m_failed; }

private:
    void Walk(const std::string& folder, const std::string& relativeFolder, const std::string& pattern)
    {
        DIR* directory = opendir(folder.c_str());
        if (directory == nullptr) {
            Complain("cannot read folder " + folder + ": " + std::strerror(errno));
            m_failed = true;
            return;
        }
        std::vector<std::string> names;
        while (const dirent* entry = readdir(directory)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(directory);
        std::sort(names.begin(), names.end());

        for (const std::string& name : names) {
            const std::string path = JoinPath(folder, name);
            const std::string relative = relativeFolder.empty() ? name : relativeFolder + "/" + name;
            struct stat linkStatus
            {
            };
            if (lstat(path.c_str(), &linkStatus) != 0)
                continue;
            // Links to folders are never followed (no loops); links to files are stored
            // with the contents they point to.
            if (S_ISDIR(linkStatus.st_mode)) {
                if (m_options.recurse)
                    Walk(path, relative, pattern);
                continue;
            }
            struct stat status = linkStatus;
            if (S_ISLNK(linkStatus.st_mode) && stat(path.c_str(), &status) != 0)
                continue;
            if (!S_ISREG(status.st_mode) || !MatchPattern(pattern, name))
                continue;
            if (MatchesAnyPattern(m_options.excludes, name)
                || MatchesAnyPattern(m_options.excludes, relative))
                continue;
            // The archive never goes into itself, wherever it lies.
            if (m_archiveStatus != nullptr && status.st_dev == m_archiveStatus->st_dev
                && status.st_ino == m_archiveStatus->st_ino)
                continue;
            const std::string storedName = m_options.keepPaths ? relative : name;
            const auto [known, added] = m_storedNames.emplace(storedName, path);
            if (!added) {
                if (known->second != path) {
                    Complain("two files would be stored as " + storedName + ": " + known->second + ", "
                             + path);
                    m_failed = true;
                }
                continue;
            }
            m_candidates.push_back({path, storedName, status});
        }
    }

    const COptions& m_options;
    const struct stat* m_archiveStatus;
    std::vector<CCandidate> m_candidates;
    std::map<std::string, std::string> m_storedNames;
    bool m_failed = false;
};

bool IsUnchanged(zip_t* archive, zip_int64_t index, const struct stat& status)
{
    zip_stat_t stored;
    zip_stat_init(&stored);
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &stored) != 0)
        return false;
    const bool sameSize =
        (stored.valid & ZIP_STAT_SIZE) && stored.size == static_cast<zip_uint64_t>(status.st_size);
    const time_t difference =
        status.st_mtime > stored.mtime ? status.st_mtime - stored.mtime : stored.mtime - status.st_mtime;
    return sameSize && (stored.valid & ZIP_STAT_MTIME) && difference <= kTimeTolerance;
}

} // namespace

int main(int argc, char** argv)
{
    COptions options;
    if (!ParseCommandLine(argc, argv, options))
        return kExitUsage;

    std::string baseName;
    std::string extension;
    SplitNameExtension(FileNameOf(options.archive), baseName, extension);
    if (extension.empty())
        options.archive += ".zip";

    if (!options.password.empty() && !zip_encryption_method_supported(ZIP_EM_AES_256, 1)) {
        Complain("AES-256 encryption is not available in this build of libzip");
        return kExitArchiveFailed;
    }

    int openError = 0;
    zip_t* archive = zip_open(options.archive.c_str(), ZIP_CREATE, &openError);
    if (archive == nullptr) {
        zip_error_t error;
        zip_error_init_with_code(&error, openError);
        Complain("cannot open " + options.archive + ": " + zip_error_strerror(&error));
        zip_error_fini(&error);
        return kExitArchiveFailed;
    }

    struct stat archiveStatus
    {
    };
    const bool archiveExists = stat(options.archive.c_str(), &archiveStatus) == 0;
    CCollector collector(options, archiveExists ? &archiveStatus : nullptr);
    for (const std::string& file : options.files)
        collector.AddArgument(file);

    bool failed = collector.Failed();
    int added = 0;
    for (const CCandidate& candidate : collector.Candidates()) {
        const zip_int64_t existing = zip_name_locate(archive, candidate.storedName.c_str(), 0);
        if (existing >= 0 && options.update && IsUnchanged(archive, existing, candidate.status))
            continue;
        zip_source_t* source = zip_source_file(archive, candidate.path.c_str(), 0, 0);
        if (source == nullptr) {
            Complain("cannot read " + candidate.path + ": " + zip_strerror(archive));
            failed = true;
            continue;
        }
        const zip_int64_t index =
            zip_file_add(archive, candidate.storedName.c_str(), source, ZIP_FL_OVERWRITE);
        if (index < 0) {
            Complain("cannot add " + candidate.path + ": " + zip_strerror(archive));
            zip_source_free(source);
            failed = true;
            continue;
        }
        if (!options.password.empty()
            && zip_file_set_encryption(archive, static_cast<zip_uint64_t>(index), ZIP_EM_AES_256,
                                       options.password.c_str())
                   != 0) {
            Complain("cannot encrypt " + candidate.storedName + ": " + zip_strerror(archive));
            zip_discard(archive);
            return kExitArchiveFailed;
        }
        std::printf("%s: %s\n", existing >= 0 ? "updating" : "adding", candidate.storedName.c_str());
        ++added;
    }

    if (zip_close(archive) != 0) {
        Complain("cannot write " + options.archive + ": " + zip_strerror(archive));
        zip_discard(archive);
        return kExitArchiveFailed;
    }
    std::printf("%s: %d file(s) stored in %s\n", kProgramName, added, options.archive.c_str());
    return failed ? kExitSomeFilesFailed : kExitDone;
}
