#include "engine/pattern.h"

#include <algorithm>

namespace {

// Upper case for the letters that can be folded without changing any byte offset: ASCII
// only. Bytes of multi-byte sequences are all above 0x7F and pass unchanged, so a
// sequence can never be altered into a different character.
std::string UpperCaseAscii(std::string_view text)
{
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return result;
}

// The length of the character that starts at text[pos]: a whole well-formed UTF-8
// sequence, or 1 for a byte that does not start one.
std::size_t CharacterLength(std::string_view text, std::size_t pos)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 1;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 1;
    }
    if (pos + length > text.size())
        return 1;
    for (std::size_t i = 1; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[pos + i]);
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF))
            return 1;
    }
    return length;
}

} // namespace

void SplitPatternList(CPatternList& list, std::string_view text)
{
    list.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = std::min(text.find(';', start), text.size());
        if (end > start)
            list.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

bool MatchPattern(std::string_view patternText, std::string_view textText)
{
    const std::string pattern = UpperCaseAscii(patternText);
    const std::string text = UpperCaseAscii(textText);

    std::size_t p = 0;
    std::size_t t = 0;
    int pending = 0; // "*" seen and not yet used up by a placed chunk
    std::string chunk;
    bool collecting = false;

    // Puts the literal chunk at its first occurrence from t on. Returns 1 for "match
    // decided", 0 for "no match", -1 to go on.
    const auto placeChunk = [&]() -> int {
        if (chunk.size() > 1 && chunk.back() == '.')
            chunk.pop_back();
        const auto found = text.find(chunk, t);
        if (found == std::string::npos)
            return chunk == "." ? 1 : 0;
        if (pending == 0 && found != t)
            return 0;
        t = found + chunk.size();
        if (pending > 0)
            --pending;
        chunk.clear();
        collecting = false;
        return -1;
    };

    for (;;) {
        if (p == pattern.size()) {
            if (!collecting)
                return t == text.size() || pending > 0;
        } else if (pattern[p] == '*') {
            if (!collecting) {
                ++pending;
                ++p;
                continue;
            }
        } else if (pattern[p] == '?') {
            if (!collecting) {
                if (t == text.size())
                    return false;
                ++p;
                t += CharacterLength(text, t);
                continue;
            }
        } else {
            chunk += pattern[p];
            collecting = true;
            ++p;
            continue;
        }
        const int placed = placeChunk();
        if (placed >= 0)
            return placed == 1;
    }
}

bool MatchesAnyPattern(const CPatternList& list, std::string_view text)
{
    for (const auto& pattern : list) {
        if (MatchPattern(pattern, text))
            return true;
    }
    return false;
}
