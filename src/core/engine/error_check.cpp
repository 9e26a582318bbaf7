#include "engine/error_check.h"

#include <cerrno>

#include "engine/engine_texts.h"
#include "platform/last_error.h"
#include "platform/path.h"
#include "report/format_text.h"
#include "settings/application_core.h"

bool IsExpectedError(int error, bool networkPath)
{
    switch (error) {
    case 0:
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
        return true;
    case ENETUNREACH:
    case EHOSTUNREACH:
    case EHOSTDOWN:
        return networkPath;
    default:
        return false;
    }
}

bool CheckUnexpectedError(CApplicationCore& core, const std::string& source, const std::string& destination)
{
    const int error = GetLastSystemError();
    if (core.Settings().startup.fx != 0)
        return true;
    SetLastSystemError(error);
    if (IsExpectedError(error, IsUncPath(source) || IsUncPath(destination)))
        return true;
    core.OutputMessage(
        MessageKind::kError,
        FormatText(EngineText::kUnexpectedErrorFormat, static_cast<unsigned long>(error)), source,
        destination, SystemErrorSuffix());
    SetLastSystemError(error);
    return false;
}
