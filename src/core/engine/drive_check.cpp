#include "engine/drive_check.h"

#include <cstdint>

#include "engine/engine_texts.h"
#include "platform/path.h"
#include "platform/platform_services.h"
#include "report/ask_user.h"
#include "report/format_text.h"
#include "report/message_kinds.h"
#include "settings/application_core.h"

namespace {

constexpr unsigned kWarningBoxType =
    MessageBoxType::kOk | MessageBoxType::kIconExclamation | MessageBoxType::kTopmost;
constexpr int kMegabyteShift = 20;

// The file system root is held as "" by the engine's folder roots.
std::string QueryPath(const std::string& destination)
{
    return destination.empty() ? std::string(1, kPathSeparator) : destination;
}

} // namespace

std::string DestinationDriveRoot(CApplicationCore& core, const std::string& destination)
{
    const std::string path = QueryPath(destination);
    if (IsUncPath(path))
        return GetShareRoot(path);
    std::string root = StorageInfoOf(core.Services()).MountPointOf(path);
    return root.empty() ? path : root;
}

bool CheckDestinationDrive(CApplicationCore& core, const std::string& destination)
{
    IStorageInfo& storage = StorageInfoOf(core.Services());
    const std::string path = QueryPath(destination);
    const std::string root = DestinationDriveRoot(core, destination);

    long freeMb = -1;
    if (const auto bytes = storage.FreeBytes(path)) {
        core.OutputMessage(MessageKind::kDebug, EngineText::kFreeSpaceQuery, root);
        freeMb = static_cast<long>(*bytes >> kMegabyteShift);
    }

    std::string label;
    std::string fileSystem;
    storage.VolumeNames(storage.MountPointOf(path), label, fileSystem);
    if (label.empty())
        label = EngineText::kUnknownName;
    if (fileSystem.empty())
        fileSystem = EngineText::kUnknownName;

    if (freeMb < 0) {
        core.OutputMessage(MessageKind::kDetail, EngineText::kFreeSpaceUnknown, {}, root);
        return true;
    }
    core.OutputMessage(MessageKind::kDetail, FormatText(EngineText::kFreeSpaceFormat, freeMb), {}, root,
                       FormatText(EngineText::kVolumeFormat, label.c_str(), fileSystem.c_str()));

    int& threshold = core.Settings().general.BakDrvAlertSize;
    if (freeMb <= threshold) {
        // Below an int threshold, so the figures fit the warning's int fields.
        const int free = static_cast<int>(freeMb);
        AskUser(core.Output(), core.Services(), core.Settings().general.DlgTimer,
                FormatText(EngineText::kLowSpaceWarningFormat, root.c_str(), free, free - 1), {},
                kWarningBoxType, true);
        threshold = free - 1;
    }
    return true;
}
