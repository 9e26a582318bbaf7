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
// replaces it only when complete; SIGTERM or SIGINT stops the write and removes that
// file, and such files left beside the archive by runs that were killed outright are
// removed once they are old enough that no other run can still be writing them.
//
// Exit status: 0 done, 1 some files could not be added (each is named on standard
// error, the rest is stored), 2 bad command line, 3 the archive could not be read or
// written, 128 + the signal number when a signal stopped it.

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zip.h>

#include "engine/pattern.h"
#include "platform/file_replace.h"
#include "platform/path.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitSomeFilesFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitArchiveFailed = 3;
constexpr const char* kProgramName = "tovix-zip";
// Stored times have a resolution of two seconds.
constexpr time_t kTimeTolerance = 1;
// Descriptors kept free for libzip's own files while added files stay open.
constexpr rlim_t kSpareDescriptors = 64;

volatile std::sig_atomic_t g_stopSignal = 0;

void OnStopSignal(int signalNumber)
{
    g_stopSignal = signalNumber;
}

void CatchStopSignals()
{
    struct sigaction action
    {
    };
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// How many added files may stay open before the archive is written out: every file is
// opened when it is added, so that one that vanishes or cannot be read later is skipped
// alone instead of failing the whole archive when it is written.
std::size_t OpenFilesAllowed()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    const rlim_t usable =
        limit.rlim_cur > 2 * kSpareDescriptors ? limit.rlim_cur - kSpareDescriptors : kSpareDescriptors;
    return static_cast<std::size_t>(std::min<rlim_t>(usable, 1 << 20));
}

// libzip names its temporary file after the archive: "<archive>.XXXXXX".
void RemoveLeftoverTemporaryFiles(const std::string& archive)
{
    for (const std::string& path : RemoveLeftoverTemporaries(ParentPath(archive), {FileNameOf(archive) + "."}))
        std::fprintf(stderr, "%s: removed %s, left by an earlier run\n", kProgramName, path.c_str());
}

int StopStatus()
{
    return 128 + g_stopSignal;
}

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

    CatchStopSignals();
    RemoveLeftoverTemporaryFiles(options.archive);
    const auto openArchive = [&options]() -> zip_t* {
        int openError = 0;
        zip_t* archive = zip_open(options.archive.c_str(), ZIP_CREATE, &openError);
        if (archive == nullptr) {
            zip_error_t error;
            zip_error_init_with_code(&error, openError);
            Complain("cannot open " + options.archive + ": " + zip_error_strerror(&error));
            zip_error_fini(&error);
            return nullptr;
        }
        // A stop asked for while the archive is written ends the write; libzip then
        // removes its temporary file.
        zip_register_cancel_callback_with_state(
            archive, [](zip_t*, void*) { return g_stopSignal != 0 ? 1 : 0; }, nullptr, nullptr);
        return archive;
    };
    zip_t* archive = openArchive();
    if (archive == nullptr)
        return kExitArchiveFailed;
    const auto writeArchive = [&archive, &options]() {
        if (zip_close(archive) == 0)
            return kExitDone;
        if (g_stopSignal == 0)
            Complain("cannot write " + options.archive + ": " + zip_strerror(archive));
        zip_discard(archive);
        archive = nullptr;
        return g_stopSignal != 0 ? StopStatus() : kExitArchiveFailed;
    };

    struct stat archiveStatus
    {
    };
    const bool archiveExists = stat(options.archive.c_str(), &archiveStatus) == 0;
    CCollector collector(options, archiveExists ? &archiveStatus : nullptr);
    for (const std::string& file : options.files)
        collector.AddArgument(file);

    bool failed = collector.Failed();
    int added = 0;
    const std::size_t openFilesAllowed = OpenFilesAllowed();
    std::size_t openFiles = 0;
    for (const CCandidate& candidate : collector.Candidates()) {
        if (g_stopSignal != 0) {
            zip_discard(archive);
            return StopStatus();
        }
        const zip_int64_t existing = zip_name_locate(archive, candidate.storedName.c_str(), 0);
        if (existing >= 0 && options.update && IsUnchanged(archive, existing, candidate.status))
            continue;
        FILE* file = std::fopen(candidate.path.c_str(), "rb");
        if (file == nullptr) {
            Complain("cannot read " + candidate.path + ": " + std::strerror(errno));
            failed = true;
            continue;
        }
        zip_source_t* source = zip_source_filep(archive, file, 0, -1);
        if (source == nullptr) {
            Complain("cannot read " + candidate.path + ": " + zip_strerror(archive));
            std::fclose(file);
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
        if (++openFiles >= openFilesAllowed) {
            if (const int status = writeArchive(); status != kExitDone)
                return status;
            archive = openArchive();
            if (archive == nullptr)
                return kExitArchiveFailed;
            openFiles = 0;
        }
    }

    if (const int status = writeArchive(); status != kExitDone)
        return status;
    std::printf("%s: %d file(s) stored in %s\n", kProgramName, added, options.archive.c_str());
    return failed ? kExitSomeFilesFailed : kExitDone;
}
