#include "engine/share_connection.h"

#include <cerrno>
#include <chrono>
#include <vector>

#include "engine/engine_texts.h"
#include "engine/pacing.h"
#include "platform/last_error.h"
#include "platform/child_process.h"
#include "platform/file_status.h"
#include "platform/network_share.h"
#include "report/format_text.h"
#include "settings/application_core.h"

namespace {

constexpr const char* kMountProgram = "gio";
constexpr auto kMountTimeLimit = std::chrono::seconds(60);

struct CCredentials
{
    bool anonymous = false; // no user name and no password at all
    std::string user;
    std::string password;
};

// gio asks for the user name, the domain and the password in that order, one line
// each; an empty domain line takes its default.
int TryMount(CApplicationCore& core, const std::string& program, const CShareName& share,
             const CCredentials& credentials)
{
    const std::string input =
        credentials.anonymous ? std::string() : credentials.user + "\n\n" + credentials.password + "\n";
    const bool abortedBefore = core.State().abortRequested != 0;
    const CProcessResult result =
        RunProcess({program, "mount", ShareUri(share)}, input, kMountTimeLimit, [&core, abortedBefore] {
            return PaceStep(core) && (abortedBefore || core.State().abortRequested == 0);
        });
    if (result.error != 0)
        return result.error;
    if (result.exitCode == 0)
        return 0;
    std::string reason = FlattenLineBreaks(result.errorText);
    while (!reason.empty() && reason.back() == ' ')
        reason.pop_back();
    if (!reason.empty())
        core.OutputMessage(MessageKind::kDebug,
                           FormatText(EngineText::kShareMountFailedFormat, reason.c_str()));
    return ENOTCONN;
}

} // namespace

bool ConnectNetworkShare(CApplicationCore& core, const std::string& path)
{
    CShareName share;
    if (!ParseShareName(path, share)) {
        SetLastSystemError(EINVAL);
        return false;
    }
    if (!FindShareMountPoint(share).empty()) {
        SetLastSystemError(0);
        return true;
    }
    const std::string program = FindProgramOnPath(kMountProgram);
    if (program.empty()) {
        core.OutputMessage(MessageKind::kDebug, EngineText::kNoShareMounter, path);
        SetLastSystemError(ENOPKG);
        return false;
    }

    const std::string userName = CurrentUserName();
    int error = 0;
    if (core.CommandLine().GetCommandLineOption("pd")) {
        IPrompter* prompter = core.Services().prompter;
        const std::string prompt = FormatText(EngineText::kCredentialPromptFormat, path.c_str());
        for (;;) {
            CCredentials credentials;
            credentials.user = userName;
            if (prompter == nullptr
                || !prompter->AskCredentials(EngineText::kCredentialTitle, prompt, credentials.user, credentials.password)) {
                SetLastSystemError(ECANCELED);
                return false;
            }
            error = TryMount(core, program, share, credentials);
            if (error == 0)
                break;
            // Stopped by an abort or the end of the program: no further question.
            if (error == ECANCELED) {
                SetLastSystemError(error);
                return false;
            }
        }
    } else {
        std::vector<CCredentials> attempts;
        std::string password;
        if (core.CommandLine().GetCommandLineOption("pw", &password))
            attempts.push_back({false, userName, password});
        attempts.push_back({true, {}, {}});
        attempts.push_back({false, userName, std::string()});
        for (const CCredentials& credentials : attempts) {
            error = TryMount(core, program, share, credentials);
            if (error == 0 || error == ECANCELED)
                break;
        }
    }
    SetLastSystemError(error);
    return error == 0;
}
