#include "settings/text_encoding.h"

#include <algorithm>

#include "platform/text_conversion.h"

namespace
{

// Length of the valid UTF-8 sequence that starts at text[pos], or 0 when there is none.
size_t Utf8SequenceLength(std::string_view text, size_t pos)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;   // overlong
        else if (lead == 0xED)
            high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;   // overlong
        else if (lead == 0xF4)
            high = 0x8F;  // above U+10FFFF
    } else {
        return 0;
    }
    if (pos + length > text.size())
        return 0;
    if (byte(pos + 1) < low || byte(pos + 1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

}  // namespace

bool IsValidUtf8(std::string_view text)
{
    for (size_t pos = 0; pos < text.size();) {
        const size_t length = Utf8SequenceLength(text, pos);
        if (length == 0)
            return false;
        pos += length;
    }
    return true;
}

std::string SanitizeUtf8(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        const size_t length = Utf8SequenceLength(text, pos);
        if (length == 0) {
            result += '?';
            ++pos;
        } else {
            result.append(text.substr(pos, length));
            pos += length;
        }
    }
    return result;
}

std::string Cp932ToUtf8(std::string_view bytes)
{
    std::string result;
    // A lead byte with a bad trail byte loses only the lead byte, so that an ASCII
    // character after it (a "=" or "]") survives.
    if (ConvertText("UTF-8", "CP932", bytes, "\xEF\xBF\xBD", [](size_t) { return 1; }, result))
        return result;
    // Without the code page in the C library, only the ASCII part can be read.
    result.clear();
    for (const char c : bytes)
        result += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : "\xEF\xBF\xBD";
    return result;
}

std::string Utf8ToCp932(std::string_view text)
{
    std::string result;
    const auto skip = [text](size_t position) {
        return Utf8SequenceLength(text, position);
    };
    if (ConvertText("CP932", "UTF-8", text, "?", skip, result))
        return result;
    result.clear();
    for (size_t pos = 0; pos < text.size();) {
        const size_t length = std::max<size_t>(1, Utf8SequenceLength(text, pos));
        result += length == 1 && static_cast<unsigned char>(text[pos]) < 0x80 ? text[pos] : '?';
        pos += length;
    }
    return result;
}
