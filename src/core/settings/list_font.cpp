#include "settings/list_font.h"

#include <cstdio>

#include "report/format_text.h"

bool ParseListFont(const std::string& name, const std::string& data, CListFont& font)
{
    font = CListFont{};
    if (name.empty())
        return false;
    font.name = name;
    std::sscanf(data.c_str(), "%ld %ld %ld %ld %ld %d %d %d %d %d %d", &font.height, &font.width,
                &font.escapement, &font.orientation, &font.weight, &font.italic, &font.charSet,
                &font.outPrecision, &font.clipPrecision, &font.quality, &font.pitchAndFamily);
    return true;
}

std::string FormatFontData(const CListFont& font)
{
    return FormatText("%ld %ld %ld %ld %ld %d %d %d %d %d %d", font.height, font.width, font.escapement,
                      font.orientation, font.weight, font.italic, font.charSet, font.outPrecision,
                      font.clipPrecision, font.quality, font.pitchAndFamily);
}
