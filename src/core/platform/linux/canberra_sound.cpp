#include "platform/linux/canberra_sound.h"

#include <canberra.h>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/error_guard.h"

namespace {

constexpr const char* kInformationEvent = "dialog-information";
constexpr const char* kWarningEvent = "dialog-warning";
constexpr const char* kErrorEvent = "dialog-error";
// Event sounds may be cached by the sound server; arbitrary files are streamed.
constexpr const char* kCacheVolatile = "volatile";
constexpr const char* kCacheNever = "never";
// Every sound gets the same id: none is cancelled on purpose.
constexpr uint32_t kSoundId = 0;

bool IsPlayableCandidate(const std::string& path)
{
    if (path.empty())
        return false;
    struct stat status
    {
    };
    if (::stat(path.c_str(), &status) != 0)
        return false;
    return S_ISREG(status.st_mode) && status.st_size > 0 && ::access(path.c_str(), R_OK) == 0;
}

} // namespace

CCanberraSound::CCanberraSound(std::string applicationName) : m_applicationName(std::move(applicationName)) {}

CCanberraSound::~CCanberraSound()
{
    if (m_context)
        ca_context_destroy(m_context);
}

bool CCanberraSound::Open()
{
    if (m_open)
        return true;
    if (!m_context) {
        if (ca_context_create(&m_context) != CA_SUCCESS) {
            m_context = nullptr;
            return false;
        }
        if (!m_applicationName.empty())
            ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, m_applicationName.c_str(), nullptr);
    }
    m_open = ca_context_open(m_context) == CA_SUCCESS;
    return m_open;
}

bool CCanberraSound::PlayFile(const std::string& path)
{
    CErrnoGuard keepErrno;
    if (!IsPlayableCandidate(path) || !Open())
        return false;
    return ca_context_play(m_context, kSoundId, CA_PROP_MEDIA_FILENAME, path.c_str(),
                           CA_PROP_CANBERRA_CACHE_CONTROL, kCacheNever, nullptr)
           == CA_SUCCESS;
}

void CCanberraSound::Beep(EBeep beep)
{
    CErrnoGuard keepErrno;
    if (!Open())
        return;
    const char* const event = beep == EBeep::Error         ? kErrorEvent
                              : beep == EBeep::Exclamation ? kWarningEvent
                                                           : kInformationEvent;
    ca_context_play(m_context, kSoundId, CA_PROP_EVENT_ID, event, CA_PROP_CANBERRA_CACHE_CONTROL,
                    kCacheVolatile, nullptr);
}
