#pragma once

// The list font as the settings file keeps it: a face name and the eleven numbers of a
// logical font description. Front ends map it onto their own font type; numbers they have
// no use for are kept so that writing the font back changes nothing it did not choose.

#include <string>

struct CListFont
{
    std::string name;
    long height = 0; // < 0: character height in pixels
    long width = 0;
    long escapement = 0;
    long orientation = 0;
    long weight = 0; // 400 normal, 700 bold
    int italic = 0;
    int charSet = 0;
    int outPrecision = 0;
    int clipPrecision = 0;
    int quality = 0;
    int pitchAndFamily = 0;

    bool operator==(const CListFont&) const = default;
};

// False when name is empty (the default font is used). Numbers missing from data keep 0.
bool ParseListFont(const std::string& name, const std::string& data, CListFont& font);
// "%ld %ld %ld %ld %ld %d %d %d %d %d %d"
std::string FormatFontData(const CListFont& font);
