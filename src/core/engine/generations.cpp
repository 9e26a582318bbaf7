#include "engine/generations.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <string>
#include <vector>

#include "engine/backup_processor.h"
#include "engine/engine_texts.h"
#include "engine/file_operation.h"
#include "platform/folder_listing.h"
#include "engine/pacing.h"
#include "engine/pattern.h"
#include "platform/last_error.h"
#include "platform/file_attributes.h"
#include "platform/file_status.h"
#include "platform/network_share.h"
#include "platform/path.h"
#include "report/format_text.h"
#include "report/message_kinds.h"
#include "settings/application_core.h"

namespace {

constexpr const char* kDateTagFormats[] = {
    ".$%y%m", ".$%y%m%d", ".$%y%m%d%H", ".$%y%m%d%H%M", ".$%y%m%d%H%M%S",
};
constexpr int kDefaultYmdFmt = 2;

constexpr std::string_view kGenerationMark = ".$";
// Where the search of the deletion run looks, by style (tag before or after the
// extension); the name test decides afterwards.
constexpr const char* kSearchTagBeforeExtension = "*.$*.*";
constexpr const char* kSearchTagAtEnd = "*.$*";

std::tm LocalTimeNow(const CApplicationCore& core)
{
    const IClock* clock = core.Services().clock;
    const auto now = clock != nullptr ? clock->Now() : std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

bool EntryExists(const std::string& path)
{
    std::string local;
    CFileStatus status;
    return ToLocalPath(path, local) == 0 && ReadFileStatus(local, status) == 0;
}

void MakeWritable(const std::string& path)
{
    std::string local;
    if (ToLocalPath(path, local) == 0)
        SetAttributesNormal(local);
}

bool UsesDateTags(int genStyle)
{
    return (genStyle & GenStyleBit::kDateTag) != 0;
}

// The numbered generations of base that exist, from 1 up to below limit, highest first.
// One listing of the folder: the cost follows what is on disk, not the number of
// generations to keep (which may be as large as an int).
std::vector<int> ExistingGenerations(const std::string& base, int genStyle, int limit)
{
    std::vector<int> found;
    std::string local;
    if (limit <= 1 || ToLocalPath(base, local) != 0)
        return found;
    std::string name;
    std::string extension;
    SplitNameExtension(FileNameOf(local), name, extension);
    const bool beforeExtension = (genStyle & GenStyleBit::kBeforeExtension) != 0;
    const std::string prefix = (beforeExtension ? name : name + extension) + std::string(kGenerationMark);
    const std::string suffix = beforeExtension ? extension : std::string();

    std::vector<CFolderEntry> entries;
    ListFolder(ParentPath(local), entries);
    for (const CFolderEntry& entry : entries) {
        const std::string_view candidate = entry.name;
        if (candidate.size() <= prefix.size() + suffix.size() || !candidate.starts_with(prefix)
            || !candidate.ends_with(suffix))
            continue;
        const std::string_view digits =
            candidate.substr(prefix.size(), candidate.size() - prefix.size() - suffix.size());
        if (digits.front() == '0' || digits.size() > 10
            || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const long long generation = std::stoll(std::string(digits));
        if (generation >= 1 && generation < limit)
            found.push_back(static_cast<int>(generation));
    }
    std::sort(found.rbegin(), found.rend());
    return found;
}

// Whether the name holds ".$" followed by the number of a generation from 1 to keep, as
// a search for each of those texts would find (".$12" holds ".$1"). Every such text
// begins with its first digit, 1 to 9, and the shortest is that digit alone, so one look
// at the digit after each ".$" decides: the cost no longer grows with keep.
bool NamesGenerationToKeep(std::string_view name, int keep)
{
    for (auto mark = name.find(kGenerationMark); mark != std::string_view::npos;
         mark = name.find(kGenerationMark, mark + 1)) {
        const std::size_t digit = mark + kGenerationMark.size();
        if (digit < name.size() && name[digit] >= '1' && name[digit] <= '9' && name[digit] - '0' <= keep)
            return true;
    }
    return false;
}

} // namespace

std::string GenerationDateTag(int ymdFmt, const std::tm& localTime)
{
    const int count = static_cast<int>(std::size(kDateTagFormats));
    const char* format = kDateTagFormats[ymdFmt >= 0 && ymdFmt < count ? ymdFmt : kDefaultYmdFmt];
    char tag[64];
    const std::size_t length = std::strftime(tag, sizeof tag, format, &localTime);
    return std::string(tag, length);
}

std::string MakeGenerationName(std::string_view path, int generation, int genStyle, int ymdFmt,
                               const std::tm& localTime)
{
    const auto slash = path.rfind(kPathSeparator);
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    std::string name;
    std::string extension;
    SplitNameExtension(path.substr(nameStart), name, extension);

    const std::string tag = UsesDateTags(genStyle)
                                ? GenerationDateTag(ymdFmt, localTime)
                                : std::string(kGenerationMark) + std::to_string(generation);
    std::string result(path.substr(0, nameStart));
    result += name;
    if ((genStyle & GenStyleBit::kBeforeExtension) != 0) {
        result += tag;
        result += extension;
    } else {
        result += extension;
        result += tag;
    }
    return result;
}

std::string MakeGenerationName(const CApplicationCore& core, std::string_view path, int generation)
{
    const CGeneralSettings& general = core.Settings().general;
    return MakeGenerationName(path, generation, general.GenStyle, general.YmdFmt, LocalTimeNow(core));
}

bool IsGenerationFileName(std::string_view nameOrPath)
{
    // A folder of the path may well carry ".$1" in its name; only the entry's own name
    // tells whether the entry is a generation file.
    const auto slash = nameOrPath.rfind(kPathSeparator);
    const std::string_view name = slash == std::string_view::npos ? nameOrPath : nameOrPath.substr(slash + 1);
    const auto mark = name.find(kGenerationMark);
    if (mark == std::string_view::npos || mark == 0)
        return false;
    const std::size_t next = mark + kGenerationMark.size();
    return next < name.size() && std::isdigit(static_cast<unsigned char>(name[next])) != 0;
}

bool UpdateWithGenerations(CBackupProcessor& processor, const std::string& source,
                           const std::string& destination, const std::string& generationPath)
{
    return UpdateWithGenerations(processor, source, destination, generationPath, processor.IsDryRun(),
                                 processor.rules.generationCount);
}

bool UpdateWithGenerations(CBackupProcessor& processor, const std::string& source,
                           const std::string& destination, const std::string& generationPath, bool dryRun,
                           int count)
{
    CApplicationCore& core = processor.Core();
    CFileOperation operation(core);
    const std::string& base = generationPath.empty() ? destination : generationPath;

    if (count > 0 && UsesDateTags(core.Settings().general.GenStyle)) {
        // The dated copy holds the new state, taken at the time of the backup; a copy of
        // the same tag period is simply replaced.
        if (!dryRun) {
            const std::string name = MakeGenerationName(core, base, 0);
            MakeWritable(name);
            processor.CountAttempt();
            ClearLastSystemError();
            const int kind = operation.Copy(source, name) == 0 ? MessageKind::kDetail : MessageKind::kError;
            core.OutputMessage(kind, EngineText::kGenerationBackup, source, name, SystemErrorSuffix());
        }
    } else if (count > 0) {
        bool backupKept = true;
        if (!dryRun) {
            const std::string oldest = MakeGenerationName(core, base, count);
            MakeWritable(oldest);
            operation.Delete(oldest);
        }
        std::vector<int> generations = ExistingGenerations(base, core.Settings().general.GenStyle, count);
        generations.push_back(0);
        for (const int generation : generations) {
            const std::string from =
                generation == 0 ? destination : MakeGenerationName(core, base, generation);
            if (!EntryExists(from))
                continue;
            const std::string to = MakeGenerationName(core, base, generation + 1);
            processor.CountAttempt();
            ClearLastSystemError();
            int kind = MessageKind::kTest;
            if (!dryRun)
                kind = operation.Move(from, to) == 0 ? MessageKind::kDetail : MessageKind::kError;
            core.OutputMessage(kind, EngineText::kGenerationBackup, from, to, SystemErrorSuffix());
            if (generation == 0 && kind == MessageKind::kError)
                backupKept = false;
        }
        // The backup could not become generation 1 (a name too long for its tag, no
        // room): overwriting it now would lose the only copy of that version.
        if (!backupKept) {
            processor.CountAttempt();
            return false;
        }
    }

    processor.CountAttempt();
    if (dryRun)
        return false;
    MakeWritable(destination);
    ClearLastSystemError();
    CCopyOptions options;
    options.clearArchiveBit = processor.rules.archiveMode != 0;
    if (operation.Copy(source, destination, options) != 0)
        return false;
    ClearLastSystemError();
    return true;
}

bool DeleteGenerationFiles(CBackupProcessor& processor)
{
    if (processor.run.mode != ProcessorMode::kDeleteGenerations)
        return false;
    CApplicationCore& core = processor.Core();
    CFileOperation operation(core);
    const char* search = (core.Settings().general.GenStyle & GenStyleBit::kBeforeExtension) != 0
                             ? kSearchTagBeforeExtension
                             : kSearchTagAtEnd;
    const std::string& folder = processor.place.destinationFolder;

    std::vector<CFolderEntry> entries;
    ListFolder(folder, entries);
    for (const auto& entry : entries) {
        // A folder is never a generation file: one named like it holds the backup of a
        // source folder of that name.
        if (entry.kind == EEntryKind::Folder || !MatchPattern(search, entry.name)
            || !IsGenerationFileName(entry.name))
            continue;
        const std::string full = JoinPath(folder, entry.name);
        ClearLastSystemError();
        const bool keep = NamesGenerationToKeep(entry.name, processor.run.generationsToKeep);

        std::string note;
        int kind = MessageKind::kTest;
        if (keep) {
            kind = MessageKind::kDebug;
            note = EngineText::kSkipped;
        } else if (!processor.IsDryRun()) {
            MakeWritable(full);
            processor.CountAttempt();
            note = operation.RecycleFolder();
            ClearLastSystemError();
            kind = operation.Recycle(full) == 0 ? MessageKind::kFile : MessageKind::kError;
        }
        core.OutputMessage(kind, EngineText::kDeletedToRecycleBin, full, {}, note + SystemErrorSuffix());
    }
    return true;
}
