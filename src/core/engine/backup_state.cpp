#include "engine/backup_state.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "engine/backup_processor.h"
#include "engine/destination_path.h"
#include "engine/engine_texts.h"
#include "engine/file_comparison.h"
#include "engine/folder_safety.h"
#include "engine/generations.h"
#include "platform/folder_listing.h"
#include "platform/atomic_copy.h"
#include "platform/file_status.h"
#include "platform/network_share.h"
#include "platform/trash.h"
#include "platform/path.h"
#include "settings/application_core.h"
#include "settings/settings_model.h"

namespace {

constexpr std::string_view kGenerationMark = ".$";

struct CGenerationInfo
{
    int count = 0;
    std::time_t newest = 0;
};

bool StatusOf(const std::string& path, CFileStatus& status)
{
    std::string local;
    return ToLocalPath(path, local) == 0 && ReadFileStatus(local, status) == 0;
}

bool FolderIdentity(const std::string& path, std::uint64_t& device, std::uint64_t& inode)
{
    std::string local;
    CFileStatus status;
    if (path.empty() || ToLocalPath(path, local) != 0 || ReadFollowedStatus(local, status) != 0)
        return false;
    device = status.device;
    inode = status.identity;
    return true;
}

// The backup file a generation copy belongs to: its name without the tag, which stands
// at the end of the name or, in the styles that put it there, before the extension.
// Empty for a name that is no generation copy.
std::string GenerationBase(const std::string& name, bool beforeExtension)
{
    if (!IsGenerationFileName(name))
        return {};
    const auto mark = name.rfind(kGenerationMark);
    if (mark == std::string::npos || mark == 0)
        return {};
    std::size_t end = mark + kGenerationMark.size();
    while (end < name.size() && name[end] >= '0' && name[end] <= '9')
        ++end;
    if (end == mark + kGenerationMark.size())
        return {};
    const std::string rest = name.substr(end);
    if (rest.empty())
        return name.substr(0, mark);
    if (beforeExtension && rest.size() > 1 && rest[0] == '.' && rest.find('.', 1) == std::string::npos)
        return name.substr(0, mark) + rest;
    return {};
}

} // namespace

struct CBackupStateScan::CState
{
    CState(CApplicationCore& core, const CFileSetting& setting) : core(core), rules(core)
    {
        rules.LoadRules(setting);
        source = setting.No.expanded;
        recurse = setting.Sub != 0;
        beforeExtension = (core.Settings().general.GenStyle & GenStyleBit::kBeforeExtension) != 0;
        ignore2sec = core.Settings().general.Ignore2sec != 0;
        const IClock* clock = core.Services().clock;
        now = std::chrono::system_clock::to_time_t(clock != nullptr ? clock->Now()
                                                                    : std::chrono::system_clock::now());
        for (const std::string& folder :
             {rules.place.destinationRoot, rules.place.newFileRoot, rules.place.generationRoot,
              core.Settings().general.Recycle2.expanded}) {
            std::uint64_t device = 0;
            std::uint64_t inode = 0;
            if (FolderIdentity(folder, device, inode))
                protectedFolders.push_back({device, inode});
        }
        ownFolders = {rules.rules.oldFileMoveFolder,
                      rules.rules.newerBackupMoveFolder,
                      core.Settings().general.Recycle2.expanded,
                      rules.place.newFileRoot,
                      rules.place.generationRoot,
                      source,
                      ParentPath(core.SettingsFilePath()),
                      ParentPath(core.Settings().general.LogFile.expanded),
                      HomeTrashFolder()};
    }

    bool IsProtected(const std::string& folder) const
    {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        if (!FolderIdentity(folder, device, inode))
            return false;
        return std::any_of(protectedFolders.begin(), protectedFolders.end(),
                           [&](const auto& known) { return known.first == device && known.second == inode; });
    }
    bool IsOwnFolder(const std::string& path, bool isFolder) const
    {
        for (const std::string& folder : ownFolders) {
            if (!folder.empty()
                && (IsSameOrInside(folder, path) || (isFolder && FolderHoldsPath(path, folder))))
                return true;
        }
        return false;
    }
    std::string DisplayName(const std::string& name, bool isFolder) const
    {
        std::string display = relative.empty() ? name : relative.substr(1) + "/" + name;
        if (isFolder)
            display += kPathSeparator;
        return display;
    }

    bool BeginFolder();
    void ReadGenerations(const std::string& folder);
    void SourceEntry(const CFolderEntry& entry, std::vector<CBackupStateRow>& rows);
    void BackupEntry(const CFolderEntry& entry, std::vector<CBackupStateRow>& rows);
    CGenerationInfo GenerationsOf(const std::string& name) const
    {
        const auto found = generations.find(name);
        return found == generations.end() ? CGenerationInfo{} : found->second;
    }

    CApplicationCore& core;
    CBackupProcessor rules;
    std::string source;
    bool recurse = false;
    bool beforeExtension = false;
    bool ignore2sec = false;
    std::time_t now = 0;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> protectedFolders;
    std::vector<std::string> ownFolders;

    bool started = false;
    bool finished = false;
    int sourceError = 0;
    long foldersRead = 0;
    long entriesSeen = 0;
    // Folders still to read, by relative path ("" the top, each level "/" + name); the
    // next one is at the back.
    std::vector<std::string> pending;

    // The folder being read.
    bool inFolder = false;
    std::string relative;
    std::string sourceFolder;
    std::string destinationFolder;
    std::vector<CFolderEntry> sourceEntries;
    std::unordered_set<std::string> sourceNames;
    bool sourceComplete = true;
    std::vector<CFolderEntry> backupEntries;
    std::unordered_map<std::string, CGenerationInfo> generations;
    std::vector<std::string> subfolders;
    std::size_t nextSource = 0;
    std::size_t nextBackup = 0;
};

bool CBackupStateScan::CState::BeginFolder()
{
    relative = pending.back();
    pending.pop_back();
    const std::string root = FolderRootOf(source);
    const std::string current = root + relative;
    sourceFolder = current.empty() ? std::string(1, kPathSeparator) : current;
    ++foldersRead;
    // The backup's own folders inside the source are never walked.
    if (IsProtected(sourceFolder))
        return false;

    sourceEntries.clear();
    sourceNames.clear();
    backupEntries.clear();
    generations.clear();
    subfolders.clear();
    nextSource = 0;
    nextBackup = 0;
    const int error = ListFolder(sourceFolder, sourceEntries);
    sourceComplete = error == 0;
    if (relative.empty() && error != 0 && sourceEntries.empty()) {
        sourceError = error;
        return false;
    }
    for (const CFolderEntry& entry : sourceEntries)
        sourceNames.insert(entry.name);

    const std::string suffix =
        DestinationSuffix(rules.rules.ownDestination != 0, relative, FolderRootOf(sourceFolder));
    destinationFolder = AppendFolderSuffix(rules.place.destinationRoot, suffix);
    ListFolder(destinationFolder, backupEntries);
    ReadGenerations(rules.place.generationRoot.empty()
                        ? destinationFolder
                        : AppendFolderSuffix(rules.place.generationRoot, suffix));
    inFolder = true;
    return true;
}

void CBackupStateScan::CState::ReadGenerations(const std::string& folder)
{
    std::vector<CFolderEntry> entries;
    const std::vector<CFolderEntry>* listing = &backupEntries;
    if (folder != destinationFolder) {
        ListFolder(folder, entries);
        listing = &entries;
    }
    for (const CFolderEntry& entry : *listing) {
        if (entry.kind == EEntryKind::Folder)
            continue;
        const std::string base = GenerationBase(entry.name, beforeExtension);
        if (base.empty())
            continue;
        CGenerationInfo& info = generations[base];
        ++info.count;
        CFileStatus status;
        if (StatusOf(JoinPath(folder, entry.name), status))
            info.newest = std::max(info.newest, static_cast<std::time_t>(status.modified.seconds));
    }
}

void CBackupStateScan::CState::SourceEntry(const CFolderEntry& entry, std::vector<CBackupStateRow>& rows)
{
    if (IsOwnTemporaryFile(entry.name) || entry.kind == EEntryKind::Special)
        return;
    CBackupStateRow row;
    row.sourcePath = JoinPath(sourceFolder, entry.name);
    row.backupPath = JoinPath(destinationFolder, entry.name);
    CFileStatus sourceStatus;
    if (!StatusOf(row.sourcePath, sourceStatus))
        return; // gone since the listing
    row.modified = sourceStatus.modified.seconds;

    if (entry.kind == EEntryKind::Folder) {
        // Hidden folders, folders the excludes name, and all folders of a setting without
        // subfolders are left out by the walk.
        const bool walked = recurse && !entry.name.empty() && entry.name[0] != '.';
        if (walked && !rules.IsExcludedFolder(entry.name)) {
            if (!IsProtected(row.sourcePath))
                subfolders.push_back(relative + kPathSeparator + entry.name);
            return;
        }
        if (IsProtected(row.sourcePath))
            return;
        row.isFolder = true;
        row.name = DisplayName(entry.name, true);
        row.state = EFileBackupState::Excluded;
        row.backupPath.clear();
        rows.push_back(std::move(row));
        return;
    }

    row.name = DisplayName(entry.name, false);
    row.isLink = sourceStatus.IsSymbolicLink();
    row.size = sourceStatus.size;
    const CGenerationInfo info = GenerationsOf(entry.name);
    row.generations = info.count;
    row.newestGeneration = info.newest;
    CFileStatus backupStatus;
    const bool backupExists = StatusOf(row.backupPath, backupStatus);
    if (!rules.MatchesFileFilter(entry.name)
        || CheckAgeWindow(row.modified, now, rules.rules.daysFrom, rules.rules.daysTo)
               != EAgeWindow::Inside) {
        row.state = EFileBackupState::Excluded;
    } else if (!backupExists) {
        row.state = EFileBackupState::New;
    } else {
        if (rules.rules.archiveMode != 0 && !row.isLink) {
            std::string localSource;
            std::string localBackup;
            if (ToLocalPath(row.sourcePath, localSource) == 0
                && ToLocalPath(row.backupPath, localBackup) == 0) {
                const CArchiveDifference archive = CompareArchiveState(localSource, localBackup);
                if (archive.sourceChanged || archive.backupChanged)
                    row.letters = EngineText::kLetterArchive;
            }
        } else {
            row.letters =
                CompareWithBackup(row.sourcePath, sourceStatus, row.backupPath, backupStatus, ignore2sec)
                    .letters;
        }
        row.backupNewer = sourceStatus.modified.seconds < backupStatus.modified.seconds;
        row.state = row.letters.empty() ? EFileBackupState::Equal : EFileBackupState::Changed;
    }
    rows.push_back(std::move(row));
}

void CBackupStateScan::CState::BackupEntry(const CFolderEntry& entry, std::vector<CBackupStateRow>& rows)
{
    // What the source holds was listed with it; a name the source lacks while its folder
    // could not be read completely may only have been unreadable.
    if (!sourceComplete || sourceNames.count(entry.name) != 0 || IsOwnTemporaryFile(entry.name))
        return;
    const bool isFolder = entry.kind == EEntryKind::Folder;
    if (isFolder && rules.IsExcludedFolder(entry.name))
        return;
    if (!rules.MatchesFileFilter(entry.name) || IsGenerationFileName(entry.name))
        return;
    CBackupStateRow row;
    row.backupPath = JoinPath(destinationFolder, entry.name);
    if ((isFolder && IsTrashFolderName(entry.name)) || IsOwnFolder(row.backupPath, isFolder))
        return;
    CFileStatus status;
    if (!StatusOf(row.backupPath, status))
        return;
    row.state = EFileBackupState::BackupOnly;
    row.isFolder = isFolder;
    row.isLink = status.IsSymbolicLink();
    row.name = DisplayName(entry.name, isFolder);
    row.size = isFolder ? -1 : status.size;
    row.modified = status.modified.seconds;
    if (!isFolder) {
        const CGenerationInfo info = GenerationsOf(entry.name);
        row.generations = info.count;
        row.newestGeneration = info.newest;
    }
    rows.push_back(std::move(row));
}

CBackupStateScan::CBackupStateScan(CApplicationCore& core, const CFileSetting& setting)
    : m_state(std::make_unique<CState>(core, setting))
{
}

CBackupStateScan::~CBackupStateScan() = default;

bool CBackupStateScan::Step(std::size_t budget, std::vector<CBackupStateRow>& rows)
{
    CState& s = *m_state;
    if (!s.started) {
        s.started = true;
        CFileStatus status;
        std::string local;
        if (s.source.empty() || IsSampleSource(s.source)) {
            s.sourceError = ENOENT;
        } else if (const int error = ToLocalPath(s.source, local); error != 0) {
            s.sourceError = error;
        } else if (const int statusError = ReadFollowedStatus(local, status); statusError != 0) {
            s.sourceError = statusError;
        } else if (!status.IsFolder()) {
            s.sourceError = ENOTDIR;
        } else if (!s.rules.IsExcludedFolder(FileNameOf(WithoutTrailingSeparator(s.source)))) {
            s.pending.push_back({});
        }
    }
    while (budget > 0 && !s.finished) {
        if (!s.inFolder) {
            if (s.pending.empty()) {
                s.finished = true;
                break;
            }
            --budget;
            s.BeginFolder();
            continue;
        }
        if (s.nextSource < s.sourceEntries.size()) {
            s.SourceEntry(s.sourceEntries[s.nextSource++], rows);
            ++s.entriesSeen;
            --budget;
            continue;
        }
        if (s.nextBackup < s.backupEntries.size()) {
            s.BackupEntry(s.backupEntries[s.nextBackup++], rows);
            ++s.entriesSeen;
            --budget;
            continue;
        }
        // Subfolders in the order of their names, each before the next one's.
        s.pending.insert(s.pending.end(), s.subfolders.rbegin(), s.subfolders.rend());
        s.subfolders.clear();
        s.inFolder = false;
    }
    return !s.finished;
}

bool CBackupStateScan::Finished() const
{
    return m_state->finished;
}

int CBackupStateScan::SourceError() const
{
    return m_state->sourceError;
}

std::string CBackupStateScan::CurrentFolder() const
{
    return m_state->sourceFolder;
}

long CBackupStateScan::FoldersRead() const
{
    return m_state->foldersRead;
}

long CBackupStateScan::EntriesSeen() const
{
    return m_state->entriesSeen;
}

const std::string& CBackupStateScan::DestinationRoot() const
{
    return m_state->rules.place.destinationRoot;
}

std::vector<CBackupStateRow> ScanBackupState(CApplicationCore& core, const CFileSetting& setting)
{
    std::vector<CBackupStateRow> rows;
    CBackupStateScan scan(core, setting);
    while (scan.Step(1000, rows)) {
    }
    return rows;
}
