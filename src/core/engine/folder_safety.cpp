#include "engine/folder_safety.h"

#include <cerrno>
#include <fstream>
#include <sstream>

#include "engine/engine_texts.h"
#include "settings/application_core.h"
#include "engine/backup_processor.h"
#include "engine/destination_only.h"
#include "engine/destination_path.h"
#include "platform/folder_listing.h"
#include "platform/atomic_copy.h"
#include "platform/file_status.h"
#include "platform/mount_table.h"
#include "platform/network_share.h"
#include "platform/path.h"
#include "report/message_kinds.h"
#include "settings/settings_model.h"

namespace {

// The newer-backup action that moves backups aside (Forced 3).
constexpr int kNewerBackupMove = 3;

bool StatLocal(const std::string& path, CFileStatus& status)
{
    std::string local;
    return ToLocalPath(path, local) == 0 && ReadFollowedStatus(local, status) == 0;
}

// The path with every link resolved; for a path that does not exist (yet), its nearest
// existing folder resolved and the rest appended as written.
std::string ResolvedPath(const std::string& local)
{
    std::string existing = WithoutTrailingSeparator(local);
    std::string rest;
    for (;;) {
        std::string resolved;
        if (ResolvePath(existing, resolved) == 0)
            return rest.empty() ? resolved : JoinPath(resolved, rest);
        const std::string parent = ParentPath(existing);
        if (parent.empty() || parent == existing)
            return local;
        const std::string name = FileNameOf(existing);
        rest = rest.empty() ? name : JoinPath(name, rest);
        existing = parent;
    }
}

bool IsMounted(const std::string& mountPoint, const std::vector<CMount>& mounts)
{
    for (const CMount& mount : mounts) {
        if (WithoutTrailingSeparator(mount.mountPoint) == mountPoint)
            return true;
    }
    // A mount the table does not show by this name (seen through another namespace) still
    // gives its folder a device of its own.
    CFileStatus status;
    CFileStatus parentStatus;
    return ReadFollowedStatus(mountPoint, status) == 0 && ReadFollowedStatus(ParentPath(mountPoint), parentStatus) == 0
           && status.device != parentStatus.device;
}

std::string Trimmed(const std::string& text)
{
    const auto begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return {};
    const auto end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

void ReportConflict(CApplicationCore& core, const std::string& source, const std::string& folder,
                    const std::string& compared, const char* key)
{
    const char* text =
        IsSameFolder(compared, source) ? EngineText::kFolderIsSource : EngineText::kFolderHoldsSource;
    core.OutputMessage(MessageKind::kError, text, source, folder, key);
}

} // namespace

bool FolderHoldsPath(const std::string& folder, const std::string& path)
{
    CFileStatus folderStatus;
    std::string local;
    if (folder.empty() || !StatLocal(folder, folderStatus) || !folderStatus.IsFolder()
        || ToLocalPath(path, local) != 0)
        return false;
    std::string current;
    if (ResolvePath(local, current) != 0)
        return false;
    for (;;) {
        CFileStatus status;
        if (ReadFollowedStatus(current, status) == 0 && status.device == folderStatus.device
            && status.identity == folderStatus.identity)
            return true;
        const std::string parent = ParentPath(current);
        if (parent.empty() || parent == current)
            return false;
        current = parent;
    }
}

namespace {

bool SameEntry(const std::string& a, const std::string& b, bool folderOnly)
{
    CFileStatus first;
    CFileStatus second;
    return StatLocal(a, first) && StatLocal(b, second) && (!folderOnly || first.IsFolder())
           && first.device == second.device && first.identity == second.identity;
}

} // namespace

bool IsSameFolder(const std::string& a, const std::string& b)
{
    return SameEntry(a, b, true);
}

bool IsSameFile(const std::string& a, const std::string& b)
{
    return SameEntry(a, b, false);
}

bool CheckFoldersAgainstSource(CBackupProcessor& processor, const std::string& source)
{
    CApplicationCore& core = processor.Core();
    const std::string sourceRoot = FolderRootOf(source);
    const std::string suffix = DestinationSuffix(processor.rules.ownDestination != 0, {}, sourceRoot);
    bool clear = true;
    // A folder that receives the backup of source, shown as configured.
    const auto checkTree = [&](const std::string& root, const char* key) {
        const std::string top = AppendFolderSuffix(root, suffix);
        if (FolderHoldsPath(top, source)) {
            ReportConflict(core, source, root.empty() ? std::string(1, kPathSeparator) : root, top, key);
            clear = false;
        }
    };
    const auto checkFolder = [&](const std::string& folder, const char* key) {
        if (!folder.empty() && FolderHoldsPath(folder, source)) {
            ReportConflict(core, source, folder, folder, key);
            clear = false;
        }
    };

    checkTree(processor.place.destinationRoot, processor.rules.ownDestination != 0 ? "BakTo" : "BakCopyPath");
    if (!processor.place.newFileRoot.empty())
        checkTree(processor.place.newFileRoot, "NewBakTo");
    if (!processor.place.generationRoot.empty())
        checkTree(processor.place.generationRoot, "GenBakTo");
    if (processor.rules.oldFileAction == OldFileAction::kMove)
        checkFolder(processor.rules.oldFileMoveFolder, "OldMove");
    if (processor.rules.newerBackupAction == kNewerBackupMove)
        checkFolder(processor.rules.newerBackupMoveFolder, "ForcedMove");
    if (processor.rules.oldFileAction == OldFileAction::kRecycle
        || processor.run.mode == ProcessorMode::kDeleteGenerations)
        checkFolder(core.Settings().general.Recycle2.expanded, "Recycle2");
    return clear;
}

void CheckSettingAtStart(CBackupProcessor& processor, const CFileSetting& setting)
{
    // A processor of its own: a pass may be running (monitoring restarts from a dialog),
    // and its rules must stay as they are.
    CBackupProcessor rules(processor.Core());
    rules.LoadRules(setting);
    const std::string& source = setting.No.expanded;
    CheckFoldersAgainstSource(rules, source);
    processor.RememberDevice(source);
    processor.RememberDevice(rules.place.destinationRoot);
}

std::vector<std::string> ConfiguredMountPoints(const std::string& fstab, const std::string& unitFolder)
{
    std::vector<std::string> mountPoints;
    std::ifstream table(fstab);
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string device, mountPoint;
        if (!(fields >> device >> mountPoint) || device[0] == '#')
            continue;
        mountPoint = WithoutTrailingSeparator(UnescapeMountField(mountPoint));
        if (mountPoint.size() > 1 && mountPoint[0] == kPathSeparator)
            mountPoints.push_back(mountPoint);
    }

    std::vector<std::string> units;
    ListFolderNames(unitFolder, units);
    for (const std::string& name : units) {
        if (name.size() <= 6 || name.compare(name.size() - 6, 6, ".mount") != 0)
            continue;
        std::ifstream unit(JoinPath(unitFolder, name));
        while (std::getline(unit, line)) {
            line = Trimmed(line);
            if (line.rfind("Where=", 0) != 0)
                continue;
            const std::string mountPoint = WithoutTrailingSeparator(Trimmed(line.substr(6)));
            if (mountPoint.size() > 1 && mountPoint[0] == kPathSeparator)
                mountPoints.push_back(mountPoint);
        }
    }
    return mountPoints;
}

bool IsInUnmountedMount(const std::string& path, const std::vector<std::string>& mountPoints)
{
    std::string local;
    if (mountPoints.empty() || ToLocalPath(path, local) != 0)
        return false;
    const std::string resolved = ResolvedPath(local);
    std::vector<CMount> mounts;
    bool mountsRead = false;
    for (const std::string& mountPoint : mountPoints) {
        if (!IsSameOrInside(resolved, mountPoint) && !IsSameOrInside(local, mountPoint))
            continue;
        if (!mountsRead) {
            mounts = ReadMounts();
            mountsRead = true;
        }
        if (!IsMounted(mountPoint, mounts))
            return true;
    }
    return false;
}

std::string FirstLinkBelow(const std::string& root, const std::string& folder)
{
    const std::string top = root.empty() ? std::string(1, kPathSeparator) : WithoutTrailingSeparator(root);
    const std::string target = WithoutTrailingSeparator(folder);
    if (!IsSameOrInside(target, top))
        return {};
    std::string current = top == std::string(1, kPathSeparator) ? std::string() : top;
    std::size_t at = current.size();
    while (at < target.size()) {
        const std::size_t start = target.find_first_not_of(kPathSeparator, at);
        if (start == std::string::npos)
            break;
        std::size_t end = target.find(kPathSeparator, start);
        if (end == std::string::npos)
            end = target.size();
        current = target.substr(0, end);
        at = end;
        std::string local;
        CFileStatus status;
        if (ToLocalPath(current, local) != 0 || ReadFileStatus(local, status) != 0)
            return {};
        if (status.IsSymbolicLink())
            return current;
    }
    return {};
}

bool IsTrashFolderName(const std::string& name)
{
    constexpr std::string_view kTrash = ".Trash";
    if (name == kTrash)
        return true;
    if (name.size() <= kTrash.size() + 1 || name.compare(0, kTrash.size(), kTrash) != 0
        || name[kTrash.size()] != '-')
        return false;
    return name.find_first_not_of("0123456789", kTrash.size() + 1) == std::string::npos;
}

bool DeviceOf(const std::string& folder, std::uint64_t& device)
{
    CFileStatus status;
    if (!StatLocal(folder, status) || !status.IsFolder())
        return false;
    device = status.device;
    return true;
}

bool IsEmptyFolder(const std::string& folder)
{
    std::string local;
    if (ToLocalPath(folder.empty() ? std::string(1, kPathSeparator) : folder, local) != 0)
        return false;
    std::vector<std::string> names;
    const int error = ListFolderNames(local, names);
    if (error != 0 && names.empty())
        return false;
    for (const std::string& name : names) {
        if (!IsOwnTemporaryFile(name))
            return false;
    }
    return error == 0;
}
