#include "engine/compress_folder.h"

#include <cerrno>
#include <chrono>
#include <thread>

#include "engine/backup_processor.h"
#include "engine/engine_texts.h"
#include "engine/folder_operations.h"
#include "engine/pacing.h"
#include "engine/pattern.h"
#include "platform/last_error.h"
#include "platform/child_process.h"
#include "platform/program_lookup.h"
#include "platform/shared_library.h"
#include "platform/path.h"
#include "report/ask_user.h"
#include "report/format_text.h"
#include "report/message_kinds.h"
#include "settings/application_core.h"

namespace {

constexpr char kQuote = '"';
constexpr auto kWaitStep = std::chrono::milliseconds(10);
constexpr const char* kShell = "/bin/sh";
// The words after the script are passed as they are: the log path as $0, the archiver
// and its arguments as "$@", so the shell interprets none of them.
constexpr const char* kAppendOutputScript = "exec \"$@\" >>\"$0\"";

struct CArchiverForm
{
    const std::string* program;
    const std::string* commonOptions;
    const char* passwordSwitch; // nullptr: the archiver takes no password
    const char* excludeSwitch;
    const char* recursionSwitch;
    const char* reportExtension;
};

std::string Quoted(std::string_view text)
{
    std::string quoted(1, kQuote);
    quoted.append(text);
    quoted += kQuote;
    return quoted;
}

void AppendWords(std::vector<std::string>& words, std::string_view text)
{
    for (std::string& word : SplitShellWords(text))
        words.push_back(std::move(word));
}

// The archiver library stays loaded once its entry has been found; a library that
// cannot be loaded or lacks the entry is tried again at the next compressed backup.
int CallLhaLibrary(const std::string& libraryName, const std::string& arguments)
{
    static LhaEntry s_entry = nullptr;
    if (s_entry == nullptr) {
        void* entry = nullptr;
        switch (FindLibraryEntry(libraryName, kLhaEntryName, entry)) {
        case ELibraryLookup::LibraryMissing:
            return kLhaLibraryMissing;
        case ELibraryLookup::EntryMissing:
            return kLhaEntryMissing;
        case ELibraryLookup::Found:
            break;
        }
        s_entry = reinterpret_cast<LhaEntry>(entry);
    }
    std::string output(kLhaOutputSize, '\0');
    return s_entry(nullptr, arguments.c_str(), output.data(), kLhaOutputSize);
}

// How an archiver run ended, as the report shows it.
enum class EArchiverOutcome
{
    Done,     // exit code 0
    Warning,  // exit code 1: the archivers' "finished, but not everything went in"
    Failed,   // not started, aborted, killed, or any other exit code
};

// Exit code 1 is a warning for the archivers this runs (some files could not be
// added); anything above it means the archive was not updated, which must not be shown
// as a completed backup.
EArchiverOutcome OutcomeOfExitCode(int exitCode)
{
    if (exitCode == 0)
        return EArchiverOutcome::Done;
    return exitCode == 1 ? EArchiverOutcome::Warning : EArchiverOutcome::Failed;
}

// Starts the archiver program and waits for it, keeping the front end alive.
EArchiverOutcome RunArchiverProgram(CApplicationCore& core, const CArchiverCommand& command,
                                    std::string& note)
{
    std::vector<std::string> arguments = command.words;
    const std::string path = FindProgram(command.program);
    CChildProcess child;
    int error = ENOENT;
    if (!path.empty()) {
        arguments.front() = path;
        if (!command.logFile.empty())
            arguments.insert(arguments.begin(), {kShell, "-c", kAppendOutputScript, command.logFile});
        error = child.Start(arguments);
    }
    if (error != 0) {
        SetLastSystemError(error);
        note = SystemErrorSuffix();
        AskUser(core.Output(), core.Services(), core.Settings().general.DlgTimer,
                FormatText(EngineText::kCannotStartFormat, command.program.c_str(),
                           command.reportedArguments.c_str()),
                {}, MessageBoxType::kOk | MessageBoxType::kIconExclamation | MessageBoxType::kTopmost, true);
        return EArchiverOutcome::Failed;
    }

    int exitCode = 0;
    while (!child.HasEnded(exitCode)) {
        std::this_thread::sleep_for(kWaitStep);
        PaceStep(core);
        if (core.State().abortRequested) {
            child.TerminateGroup();
            child.HasEnded(exitCode);
            SetLastSystemError(ECANCELED);
            note =
                SystemErrorSuffix() + FormatText(EngineText::kExitCodeFormat, static_cast<long>(exitCode));
            return EArchiverOutcome::Failed;
        }
    }
    note = FormatText(EngineText::kExitCodeFormat, static_cast<long>(exitCode));
    return OutcomeOfExitCode(exitCode);
}

} // namespace

bool BuildArchiverCommand(const CGeneralSettings& general, const CFileSetting& setting, int mode,
                          CArchiverCommand& command)
{
    CArchiverForm form{};
    switch (mode) {
    case CompressionMode::kLha:
        form = {&general.CpLHA, &general.CpOptLHA, nullptr, "-jx", "-r1", EngineText::kLhaExtension};
        break;
    case CompressionMode::kRar:
        form = {&general.CpRAR, &general.CpOptRAR, "-p", "-x", "-r", EngineText::kRarExtension};
        break;
    case CompressionMode::kZip:
        form = {&general.CpZIP, &general.CpOptZIP, "-s", "-x", "-rp", EngineText::kZipExtension};
        break;
    default:
        return false;
    }
    if (setting.CompFile.expanded.empty())
        return false;
    const bool isLibrary = mode == CompressionMode::kLha;

    command = CArchiverCommand{};
    command.program = *form.program;
    command.archive = setting.CompFile.expanded;
    command.reportExtension = form.reportExtension;
    command.source = setting.No.expanded;
    if (command.source.empty() || command.source.back() != kPathSeparator)
        command.source += kPathSeparator;

    std::vector<std::string>& words = command.words;
    words.push_back(command.program);
    std::string options = " " + *form.commonOptions;
    AppendWords(words, *form.commonOptions);
    std::string reportedOptions;
    if (isLibrary && !setting.CpLog.empty())
        options += " -gl" + Quoted(setting.CpLog);
    reportedOptions = options;
    if (!isLibrary && !setting.CpPw.empty()) {
        options += std::string(" ") + form.passwordSwitch + setting.CpPw;
        reportedOptions += std::string(" ") + form.passwordSwitch + EngineText::kPasswordMask;
        words.push_back(form.passwordSwitch + setting.CpPw);
    }
    options += " " + setting.CpOpt;
    reportedOptions += " " + setting.CpOpt;
    AppendWords(words, setting.CpOpt);

    std::string files;
    std::vector<std::string> fileWords;
    if (isLibrary)
        files += " " + Quoted(command.source);
    CPatternList includes;
    SplitPatternList(includes, setting.Inc);
    if (includes.empty())
        includes.push_back("*.*");
    for (const std::string& item : includes) {
        const std::string file = isLibrary ? item : command.source + item;
        files += " " + Quoted(file);
        fileWords.push_back(file);
    }

    std::string excludes;
    CPatternList excludeItems;
    SplitPatternList(excludeItems, setting.Exc);
    std::vector<std::string> excludeWords;
    for (const std::string& item : excludeItems) {
        excludes += " " + Quoted(form.excludeSwitch + item);
        excludeWords.push_back(form.excludeSwitch + item);
    }

    std::string tail;
    if (setting.Sub) {
        tail += std::string(" ") + form.recursionSwitch;
        words.push_back(form.recursionSwitch);
    }
    tail += " " + excludes;
    words.insert(words.end(), excludeWords.begin(), excludeWords.end());
    tail += " " + Quoted(command.archive) + " " + files;
    words.push_back(command.archive);
    words.insert(words.end(), fileWords.begin(), fileWords.end());

    command.libraryArguments = options + tail;
    command.reportedArguments = reportedOptions + tail;
    command.reportedCommand = command.program + " " + command.reportedArguments;
    if (!isLibrary && !setting.CpLog.empty()) {
        command.logFile = setting.CpLog;
        command.reportedCommand = EngineText::kInterpreterPrefix + command.reportedCommand
                                  + EngineText::kLogRedirection + Quoted(setting.CpLog);
    }
    if (!isLibrary)
        command.libraryArguments.clear();
    else
        command.words.clear();
    return true;
}

int CompressFolder(CBackupProcessor& processor, int mode, int settingIndex)
{
    CApplicationCore& core = processor.Core();
    CSettingsModel& settings = core.Settings();
    if (settingIndex < 0 || settingIndex >= kMaxFileSettings)
        return 0;
    CArchiverCommand command;
    if (!BuildArchiverCommand(settings.general, settings.files[settingIndex], mode, command))
        return 0;

    const bool dryRun = processor.IsDryRun();
    const std::string archiveFolder = ParentPath(command.archive);
    if (!dryRun && !archiveFolder.empty() && !EnsureFolder(core, archiveFolder))
        return 0;

    const std::string reportedArchive = command.archive + command.reportExtension;
    core.OutputMessage(MessageKind::kDetail,
                       FormatText(EngineText::kCompressingFormat, command.program.c_str()), command.source,
                       reportedArchive, command.reportedCommand);
    if (dryRun) {
        core.OutputMessage(MessageKind::kTest, EngineText::kCompressedBackup, command.source,
                           reportedArchive);
        return 1;
    }

    ClearLastSystemError();
    EArchiverOutcome outcome = EArchiverOutcome::Done;
    std::string note;
    if (mode == CompressionMode::kLha) {
        const int result = CallLhaLibrary(settings.general.CpLHA, command.libraryArguments);
        if (result != 0) {
            outcome = EArchiverOutcome::Failed;
            note = FormatText(EngineText::kLibraryResultFormat, result);
        }
    } else {
        outcome = RunArchiverProgram(core, command, note);
    }
    const int kind = outcome == EArchiverOutcome::Done      ? MessageKind::kFile
                     : outcome == EArchiverOutcome::Warning ? MessageKind::kWarning
                                                            : MessageKind::kError;
    core.OutputMessage(kind, EngineText::kCompressedBackup, command.source, reportedArchive, note);
    return outcome == EArchiverOutcome::Failed ? 0 : 1;
}
