#include "settings/settings_storage.h"

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>
#include <variant>

#include "platform/file_replace.h"
#include "platform/file_status.h"
#include "platform/folder_listing.h"
#include "platform/host_services.h"
#include "platform/path.h"
#include "report/format_text.h"
#include "report/message_output.h"
#include "settings/command_line.h"
#include "settings/profile_store.h"
#include "settings/settings_texts.h"
#include "platform/program_paths.h"
#include "version.h"

namespace {

constexpr const char* kSectionSetting = "Setting";
constexpr const char* kSectionStartup = "Startup";
constexpr const char* kSectionBackup = "Backup";
constexpr const char* kKeyFiles = "Files";


// Whole-file copies and key writes go through a temporary file beside the target that
// lives for milliseconds; RemoveLeftovers clears those a killed run left behind.
constexpr std::string_view kCopyTemporaryPrefix = ".tovix-settings-";

// How long the copied default file may take to show its file settings.
constexpr int kWaitForCopyTries = 30;
constexpr auto kWaitForCopyStep = std::chrono::milliseconds(100);

template <class Record>
using Field = std::variant<int Record::*, std::string Record::*, CPathValue Record::*>;

template <class Record>
struct CKey
{
    const char* name;
    Field<Record> field;
};

using CGeneralKey = CKey<CGeneralSettings>;
using CFileKey = CKey<CFileSetting>;
using G = CGeneralSettings;
using F = CFileSetting;

// [Setting] in the order the model holds it; the archiver keys are read separately.
const CGeneralKey kGeneralLoadKeys[] = {
    {"DispDetailInfo", &G::DispDetailInfo}, {"FileChkInterval", &G::FileChkInterval},
    {"BakDelayTime", &G::BakDelayTime},     {"BakCopyPath", &G::BakCopyPath},
    {"NoDriveDir", &G::NoDriveDir},         {"BakDrvAlertSize", &G::BakDrvAlertSize},
    {"Forced", &G::Forced},                 {"LogFile", &G::LogFile},
    {"LogLines", &G::LogLines},             {"DispDebugInfo", &G::DispDebugInfo},
    {"Ignore2sec", &G::Ignore2sec},         {"LogSize", &G::LogSize},
    {"Sound", &G::Sound},                   {"SoundW", &G::SoundW},
    {"SoundE", &G::SoundE},                 {"SoundFile", &G::SoundFile},
    {"SoundWFile", &G::SoundWFile},         {"SoundEFile", &G::SoundEFile},
    {"GenStyle", &G::GenStyle},             {"YmdFmt", &G::YmdFmt},
    {"BakWait", &G::BakWait},               {"Recycle2", &G::Recycle2},
    {"StopApp", &G::StopApp},               {"DlgTimer", &G::DlgTimer},
    {"FontName", &G::FontName},             {"FontData", &G::FontData},
};

// The order in which the general configuration has always been written.
const CGeneralKey kGeneralSaveKeys[] = {
    {"FileChkInterval", &G::FileChkInterval}, {"BakDelayTime", &G::BakDelayTime},
    {"BakCopyPath", &G::BakCopyPath},         {"DispDetailInfo", &G::DispDetailInfo},
    {"DispDebugInfo", &G::DispDebugInfo},     {"NoDriveDir", &G::NoDriveDir},
    {"BakDrvAlertSize", &G::BakDrvAlertSize}, {"Forced", &G::Forced},
    {"Ignore2sec", &G::Ignore2sec},           {"LogFile", &G::LogFile},
    {"LogLines", &G::LogLines},               {"LogSize", &G::LogSize},
    {"Sound", &G::Sound},                     {"SoundW", &G::SoundW},
    {"SoundE", &G::SoundE},                   {"SoundFile", &G::SoundFile},
    {"SoundWFile", &G::SoundWFile},           {"SoundEFile", &G::SoundEFile},
    {"GenStyle", &G::GenStyle},               {"YmdFmt", &G::YmdFmt},
    {"BakWait", &G::BakWait},                 {"Recycle2", &G::Recycle2},
    {"StopApp", &G::StopApp},                 {"DlgTimer", &G::DlgTimer},
};

const CGeneralKey kArchiverGeneralKeys[] = {
    {"CpLHA", &G::CpLHA},       {"CpRAR", &G::CpRAR},       {"CpZIP", &G::CpZIP},
    {"CpOptLHA", &G::CpOptLHA}, {"CpOptRAR", &G::CpOptRAR}, {"CpOptZIP", &G::CpOptZIP},
};

const CFileKey kFileKeys[] = {
    {"No", &F::No},                   {"Sub", &F::Sub},
    {"Ignore", &F::Ignore},           {"DoInterval", &F::DoInterval},
    {"NoDetect", &F::NoDetect},       {"BakTo", &F::BakTo},
    {"Inc", &F::Inc},                 {"Exc", &F::Exc},
    {"Gen", &F::Gen},                 {"DirExc", &F::DirExc},
    {"ForcedInc", &F::ForcedInc},     {"Forced", &F::Forced},
    {"ForcedMove", &F::ForcedMove},   {"SameDateExc", &F::SameDateExc},
    {"OldDel", &F::OldDel},           {"OldMove", &F::OldMove},
    {"NearTimeExc", &F::NearTimeExc}, {"ObsRunExe", &F::ObsRunExe},
    {"ObsRunArg", &F::ObsRunArg},     {"DaysFrom", &F::DaysFrom},
    {"DaysTo", &F::DaysTo},           {"CompMode", &F::CompMode},
    {"CompFile", &F::CompFile},       {"ArcMode", &F::ArcMode},
    {"DlgCopyBig", &F::DlgCopyBig},   {"NewBakTo", &F::NewBakTo},
    {"GenBakTo", &F::GenBakTo},
};

const CFileKey kArchiverFileKeys[] = {
    {"CpLog", &F::CpLog},
    {"CpPw", &F::CpPw},
    {"CpOpt", &F::CpOpt},
};

struct CStartupKey
{
    const char* name;
    int CStartupOptions::*field;
    int defaultValue;
};

constexpr CStartupKey kStartupLoadKeys[] = {
    {"min", &CStartupOptions::min, 0}, {"cp", &CStartupOptions::cp, 1},
    {"fx", &CStartupOptions::fx, 0},   {"nbc", &CStartupOptions::nbc, 0},
    {"nws", &CStartupOptions::nws, 0}, {"pn", &CStartupOptions::pn, 0},
    {"sa", &CStartupOptions::sa, 0},   {"xn", &CStartupOptions::xn, 0},
};

constexpr CStartupKey kStartupSaveKeys[] = {
    {"cp", &CStartupOptions::cp, 1},   {"fx", &CStartupOptions::fx, 0},
    {"min", &CStartupOptions::min, 0}, {"nbc", &CStartupOptions::nbc, 0},
    {"nws", &CStartupOptions::nws, 0}, {"pn", &CStartupOptions::pn, 0},
    {"sa", &CStartupOptions::sa, 0},   {"xn", &CStartupOptions::xn, 0},
};

inline constexpr int kForcedByCommandLine = 2;

std::string IndexedKey(const char* stem, int index) { return stem + std::to_string(index); }

template <class Record>
void ReadKey(CProfileStore& store, const char* section, const std::string& key,
             const Field<Record>& field, Record& record, const Record& defaults)
{
    std::visit(
        [&](auto member) {
            using Value = std::remove_reference_t<decltype(record.*member)>;
            if constexpr (std::is_same_v<Value, int>)
                record.*member = store.GetProfileInt(section, key, defaults.*member);
            else if constexpr (std::is_same_v<Value, std::string>)
                record.*member = store.GetProfileString(section, key, defaults.*member);
            else
                (record.*member).Assign(store.GetProfileString(section, key, (defaults.*member).raw));
        },
        field);
}

template <class Record>
bool WriteKey(CProfileStore& store, const char* section, const std::string& key,
              const Field<Record>& field, const Record& record)
{
    return std::visit(
        [&](auto member) {
            using Value = std::remove_cv_t<std::remove_reference_t<decltype(record.*member)>>;
            if constexpr (std::is_same_v<Value, int>)
                return store.WriteProfileInt(section, key, record.*member);
            else if constexpr (std::is_same_v<Value, std::string>)
                return store.WriteProfileString(section, key, record.*member);
            else
                return store.WriteProfileString(section, key, (record.*member).raw);
        },
        field);
}

// Why a settings file that is there could not be read, for the user.
std::string ReadFailureReason(const std::string& path, int error)
{
    CFileStatus status;
    if (ReadFollowedStatus(path, status) == 0 && !status.IsFile() && !status.IsFolder())
        return SettingsText::kNotRegularFile;
    return std::strerror(error);
}

}  // namespace

// Copies a whole file through a temporary file and a rename, so the target is either the
// old or the new file. A new target is readable by the user only; an existing one keeps
// its permissions. A link is followed: the file it points to is replaced, not the link.
// Only a regular file is copied from (a FIFO would block the start for good).
bool CopyFileReplacing(const std::string& from, const std::string& linkOrTarget)
{
    std::string to;
    if (const int error = ResolveLinkTarget(linkOrTarget, to); error != 0) {
        errno = error;
        return false;
    }
    const int error = CopyFileThroughTemporary(from, to, kCopyTemporaryPrefix);
    errno = error;
    return error == 0;
}

namespace {

template <std::size_t Count>
void ReadFileSettingKeys(CProfileStore& store, CSettingsModel& model, const CFileKey (&keys)[Count], int first,
                         int last)
{
    const CFileSetting defaults;
    for (int index = first; index <= last && index < kMaxFileSettings; ++index)
        for (const auto& key : keys)
            ReadKey(store, kSectionBackup, IndexedKey(key.name, index), key.field,
                    model.files[static_cast<std::size_t>(index)], defaults);
}

}  // namespace

CSettingsStorage::CSettingsStorage(CSettingsModel& model, CProfileStore& store,
                                   const CCommandLine& commandLine, const CHostServices& services)
    : m_model(model), m_store(store), m_commandLine(commandLine), m_services(services)
{
}

int CSettingsStorage::ShowMessage(const std::string& text, unsigned type) const
{
    if (!m_services.prompter)
        return MessageBoxAnswer::kNo;
    return m_services.prompter->MessageBox(text, kApplicationName, type | MessageBoxType::kTopmost);
}

void CSettingsStorage::LoadGeneralSettings(const CGeneralSettings* defaults)
{
    const CGeneralSettings tableDefaults;
    const CGeneralSettings& base = defaults ? *defaults : tableDefaults;
    // One look at the file for all keys instead of one per key.
    const CProfileBatch reading(m_store);
    for (const auto& key : kGeneralLoadKeys)
        ReadKey(m_store, kSectionSetting, key.name, key.field, m_model.general, base);
    for (const auto& key : kStartupLoadKeys) {
        m_model.startup.*key.field =
            m_commandLine.GetCommandLineOption(key.name)
                ? kForcedByCommandLine
                : m_store.GetProfileInt(kSectionStartup, key.name, key.defaultValue);
    }
}

bool CSettingsStorage::SaveGeneralSettings(const CGeneralSettings& values,
                                           const CStartupOptions& options)
{
    m_store.BeginBatch();
    for (const auto& key : kGeneralSaveKeys)
        WriteKey(m_store, kSectionSetting, key.name, key.field, values);
    for (const auto& key : kStartupSaveKeys)
        if (options.*key.field != kForcedByCommandLine)
            m_store.WriteProfileInt(kSectionStartup, key.name, options.*key.field);
    const bool written = m_store.EndBatch();
    LoadGeneralSettings();
    return written;
}

bool CSettingsStorage::SaveListFont(const std::string& name, const std::string& data)
{
    m_store.BeginBatch();
    m_store.WriteProfileString(kSectionSetting, "FontName", name);
    m_store.WriteProfileString(kSectionSetting, "FontData", data);
    const bool written = m_store.EndBatch();
    m_model.general.FontName = name;
    m_model.general.FontData = data;
    return written;
}

bool CSettingsStorage::LoadFileSettings()
{
    RemoveLeftovers();
    // A file that is there but cannot be read holds the user's settings all the same:
    // replacing it by the template would lose them.
    if (const int error = m_store.ReadError(); error != 0) {
        ShowMessage(FormatText(SettingsText::kCannotReadFormat, m_store.Path().c_str(),
                               ReadFailureReason(m_store.Path(), error).c_str()),
                    MessageBoxType::kIconStop);
        return false;
    }
    m_model.Files = m_store.GetProfileInt(kSectionBackup, kKeyFiles, 0);
    if (m_model.Files == 0) {
        if (!CreateDefaultSettingsFile())
            return false;
        m_model.Files = m_store.GetProfileInt(kSectionBackup, kKeyFiles, 0);
    }
    if (m_model.Files > kMaxFileSettings) {
        if (m_output)
            m_output->OutputMessage(MessageKind::kWarning,
                                    FormatText(SettingsText::kTooManySettingsFormat, m_model.Files, kMaxFileSettings),
                                    m_store.Path());
        m_model.Files = kMaxFileSettings;
    }
    const CFileSetting defaults;
    const CProfileBatch reading(m_store);
    for (int index = 0; index < m_model.Files; ++index) {
        CFileSetting& setting = m_model.files[static_cast<std::size_t>(index)];
        for (const auto& key : kFileKeys)
            ReadKey(m_store, kSectionBackup, IndexedKey(key.name, index), key.field, setting, defaults);
    }
    return true;
}

// The compression details of a setting are stored under its index. After settings were
// moved or deleted they are rewritten under the new indices, so they stay with their
// setting, and the details of a deleted setting are blanked so that a setting added later
// at that place does not inherit its archive password. Keys that already hold their value
// are left alone.
void CSettingsStorage::MoveArchiverFileKeys()
{
    static const std::string kAbsent = "\x01absent";
    for (int index = 0; index < kMaxFileSettings; ++index) {
        const CFileSetting& setting = m_model.files[static_cast<std::size_t>(index)];
        for (const auto& key : kArchiverFileKeys) {
            const std::string name = IndexedKey(key.name, index);
            const std::string stored = m_store.GetProfileString(kSectionBackup, name, kAbsent);
            const std::string& wanted = setting.*std::get<std::string CFileSetting::*>(key.field);
            if (index < m_model.Files) {
                if (stored != wanted && !(stored == kAbsent && wanted.empty()))
                    m_store.WriteProfileString(kSectionBackup, name, wanted);
            } else if (stored != kAbsent && !stored.empty()) {
                m_store.WriteProfileString(kSectionBackup, name, "");
            }
        }
    }
}

bool CSettingsStorage::SaveFileSettings()
{
    m_store.BeginBatch();
    m_store.WriteProfileInt(kSectionBackup, kKeyFiles, m_model.Files);
    for (int index = 0; index < m_model.Files && index < kMaxFileSettings; ++index) {
        const CFileSetting& setting = m_model.files[static_cast<std::size_t>(index)];
        for (const auto& key : kFileKeys)
            WriteKey(m_store, kSectionBackup, IndexedKey(key.name, index), key.field, setting);
    }
    MoveArchiverFileKeys();
    if (m_store.EndBatch())
        return true;
    // What was refused must not live on in the model as if it had been saved.
    ReadFileSettingKeys(m_store, m_model, kFileKeys, 0, m_model.Files - 1);
    ReadFileSettingKeys(m_store, m_model, kArchiverFileKeys, 0, m_model.Files - 1);
    return false;
}


void CSettingsStorage::LoadArchiverSettings(int index)
{
    const CFileSetting fileDefaults;
    const int first = index >= 0 ? index : 0;
    const int last = index >= 0 ? index : m_model.Files - 1;
    const CProfileBatch reading(m_store);
    for (int i = first; i <= last && i < kMaxFileSettings; ++i)
        for (const auto& key : kArchiverFileKeys)
            ReadKey(m_store, kSectionBackup, IndexedKey(key.name, i), key.field,
                    m_model.files[static_cast<std::size_t>(i)], fileDefaults);
    const CGeneralSettings generalDefaults;
    for (const auto& key : kArchiverGeneralKeys)
        ReadKey(m_store, kSectionSetting, key.name, key.field, m_model.general, generalDefaults);
}

bool CSettingsStorage::SaveArchiverSettings(int index)
{
    m_store.BeginBatch();
    const int first = index >= 0 ? index : 0;
    const int last = index >= 0 ? index : m_model.Files - 1;
    const CProfileBatch reading(m_store);
    for (int i = first; i <= last && i < kMaxFileSettings; ++i)
        for (const auto& key : kArchiverFileKeys)
            WriteKey(m_store, kSectionBackup, IndexedKey(key.name, i), key.field,
                     m_model.files[static_cast<std::size_t>(i)]);
    for (const auto& key : kArchiverGeneralKeys)
        WriteKey(m_store, kSectionSetting, key.name, key.field, m_model.general);
    if (m_store.EndBatch())
        return true;
    ReadFileSettingKeys(m_store, m_model, kArchiverFileKeys, first, last);
    const CGeneralSettings generalDefaults;
    for (const auto& key : kArchiverGeneralKeys)
        ReadKey(m_store, kSectionSetting, key.name, key.field, m_model.general, generalDefaults);
    return false;
}

void CSettingsStorage::RemoveLeftovers()
{
    std::string target;
    if (m_store.Path().empty() || ResolveLinkTarget(m_store.Path(), target) != 0)
        return;
    const std::string folder = ParentPath(target);
    RemoveLeftoverTemporaries(folder, {std::string(kCopyTemporaryPrefix), "." + FileNameOf(target) + "."});
    const std::string configFolder = GetConfigDirectory();
    if (configFolder != folder)
        RemoveLeftoverTemporaries(configFolder, {std::string(kCopyTemporaryPrefix)});
}

bool CSettingsStorage::CreateDefaultSettingsFile()
{
    const std::string systemFolder = GetConfigDirectory();
    std::string source = FindDataFile(kTemplateSettingsFileName);
    const std::string oldSettings = JoinPath(systemFolder, kOldSettingsFileName);
    if (FileExists(oldSettings)
        && ShowMessage(SettingsText::kOldSettingsFound, MessageBoxType::kYesNo | MessageBoxType::kIconQuestion)
               == MessageBoxAnswer::kYes)
        source = oldSettings;

    const std::string target = m_store.Path();
    const std::string backup = JoinPath(systemFolder, kSettingsBackupFileName);
    // Only a missing file may go without its backup copy: anything else there would be
    // lost for good by the copy of the template.
    if (!CopyFileReplacing(target, backup) && errno != ENOENT && errno != ENOTDIR) {
        ShowMessage(FormatText(SettingsText::kCopyFailedFormat, target.c_str(), backup.c_str()), MessageBoxType::kIconStop);
        return false;
    }
    if (!CopyFileReplacing(source, target)) {
        ShowMessage(FormatText(SettingsText::kCopyFailedFormat, source.c_str(), target.c_str()), MessageBoxType::kIconStop);
        return false;
    }
    return WaitForFileSettings();
}

// The copy is ours and complete when rename returns, but a template without file
// settings would make an unbounded wait hang the start; give up after a few seconds.
bool CSettingsStorage::WaitForFileSettings()
{
    for (int attempt = 0; attempt < kWaitForCopyTries; ++attempt) {
        if (m_store.GetProfileInt(kSectionBackup, kKeyFiles, 0) != 0)
            return true;
        std::this_thread::sleep_for(kWaitForCopyStep);
    }
    ShowMessage(FormatText(SettingsText::kNoFileSettingsFormat, m_store.Path().c_str()), MessageBoxType::kIconStop);
    return false;
}
