#pragma once

// The window memory of the framework (placements, column widths, box positions) lives in
// the settings file in use. Every operation goes through the core's profile store, whose
// path follows the settings file, so a window always writes to the file that is open at
// that moment. Without a store (a window made before the settings are loaded) reads give
// the defaults and writes are dropped.

#include <QRect>
#include <string>
#include <string_view>

class CProfileStore;

namespace CwProfile {

void SetStore(CProfileStore* store);
CProfileStore* Store();

int GetProfileInt(std::string_view section, std::string_view key, int defaultValue);
bool WriteProfileInt(std::string_view section, std::string_view key, int value);
std::string GetProfileString(std::string_view section, std::string_view key, std::string_view defaultValue);
bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value);
// Rectangles are kept as left, top, right, bottom; right and bottom lie just outside the
// rectangle (right = left + width).
QRect GetProfileRect(std::string_view section, std::string_view key, const QRect& defaultRect);
bool WriteProfileRect(std::string_view section, std::string_view key, const QRect& rect);

// "%d, %d, %d, %d" (left, top, right, bottom).
std::string RectToText(const QRect& rect);
// Splits at blanks, commas and tabs; numbers missing from a short text count as 0, and a
// piece that is not a number reads 0. GetProfileRect gives its default for a text with
// fewer than four numbers.
QRect TextToRect(std::string_view text);

// Several writes that change the file once, at the end of the scope.
class CBatch
{
public:
    CBatch();
    ~CBatch();
    CBatch(const CBatch&) = delete;
    CBatch& operator=(const CBatch&) = delete;

private:
    CProfileStore* m_store;
};

} // namespace CwProfile
