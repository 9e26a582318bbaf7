#pragma once

// The list font of the settings (face name and the numbers of a logical font) as a Qt
// font: the family, a negative height as pixel size (a positive one as the cell height
// the font's ascent and descent fill, so also in pixels), weight 700 and above bold,
// italic. The other numbers have no Qt counterpart; they stay in the settings as read.

#include <QFont>

#include "settings/list_font.h"

// base (the desktop's font) when name is empty.
QFont ListFontToQFont(const CListFont& font, const QFont& base);
QFont ListFontFromSettings(const std::string& name, const std::string& data, const QFont& base);
