#include "report/format_text.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/last_error.h"

namespace {

constexpr const char* kSuffixFormat = ".$%08X-%s";
constexpr char kBlank = ' ';

// The system's text for an error code, without touching errno.
std::string ErrorText(int error)
{
    const int savedErrno = errno;
    std::string text = std::strerror(error);
    errno = savedErrno;
    return text;
}

} // namespace

std::string FormatText(const char* format, ...)
{
    if (format == nullptr)
        return {};
    std::va_list arguments;
    va_start(arguments, format);
    std::va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);

    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length));
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    }
    va_end(again);
    return text;
}

std::string FlattenLineBreaks(std::string text)
{
    for (char& c : text) {
        if (c == '\r' || c == '\n')
            c = kBlank;
    }
    return text;
}

int FormatSystemError(std::string* buffer, bool flatten)
{
    const int error = GetLastSystemError();
    if (buffer == nullptr)
        return error;
    if (error == 0) {
        buffer->clear();
        return error;
    }
    *buffer = ErrorText(error);
    if (flatten)
        *buffer = FlattenLineBreaks(std::move(*buffer));
    return error;
}

std::string SystemErrorSuffixOf(int error)
{
    if (error == 0)
        return {};
    return FormatText(kSuffixFormat, static_cast<unsigned>(error),
                      FlattenLineBreaks(ErrorText(error)).c_str());
}

std::string SystemErrorSuffix()
{
    return SystemErrorSuffixOf(GetLastSystemError());
}
