#include "report/pump.h"

#include <cerrno>

#include "platform/last_error.h"

bool PumpPendingMessages(const CHostServices& services)
{
    if (services.pump == nullptr)
        return true;
    const int savedLastError = GetLastSystemError();
    const int savedErrno = errno;
    const bool goOn = services.pump->PumpPendingMessages();
    errno = savedErrno;
    SetLastSystemError(savedLastError);
    return goOn;
}
