#include "platform/text_conversion.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

bool ConvertText(const char* to, const char* from, std::string_view input, std::string_view replacement,
                 const std::function<std::size_t(std::size_t position)>& skip, std::string& output)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    output.clear();
    output.reserve(input.size() * 3 / 2 + 16);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
        const int error = errno;
        output.append(buffer, static_cast<size_t>(out - buffer));
        if (result != static_cast<size_t>(-1))
            continue;
        if (error == E2BIG)
            continue;
        // EILSEQ or EINVAL (incomplete sequence at the end): replace and go on.
        output += replacement;
        const size_t position = input.size() - inLeft;
        const size_t count = std::min(inLeft, std::max<size_t>(1, skip(position)));
        in += count;
        inLeft -= count;
    }
    iconv_close(cd);
    return true;
}
