#include "framework/profile.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "report/format_text.h"
#include "settings/profile_store.h"

namespace CwProfile {

namespace {

CProfileStore* g_store = nullptr;

constexpr std::string_view kSeparators = " ,\t";
// Far beyond any screen; keeps width and height computable for any stored text.
constexpr long kCoordinateLimit = 1000000;

} // namespace

void SetStore(CProfileStore* store)
{
    g_store = store;
}

CProfileStore* Store()
{
    return g_store;
}

int GetProfileInt(std::string_view section, std::string_view key, int defaultValue)
{
    return g_store ? g_store->GetProfileInt(section, key, defaultValue) : defaultValue;
}

bool WriteProfileInt(std::string_view section, std::string_view key, int value)
{
    return g_store && g_store->WriteProfileInt(section, key, value);
}

std::string GetProfileString(std::string_view section, std::string_view key, std::string_view defaultValue)
{
    return g_store ? g_store->GetProfileString(section, key, defaultValue) : std::string(defaultValue);
}

bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value)
{
    return g_store && g_store->WriteProfileString(section, key, value);
}

namespace {
int ParseRect(std::string_view text, QRect& rect);
} // namespace

QRect GetProfileRect(std::string_view section, std::string_view key, const QRect& defaultRect)
{
    const std::string text = GetProfileString(section, key, RectToText(defaultRect));
    QRect rect;
    // A damaged text is as good as none.
    return ParseRect(text, rect) == 4 ? rect : defaultRect;
}

bool WriteProfileRect(std::string_view section, std::string_view key, const QRect& rect)
{
    return WriteProfileString(section, key, RectToText(rect));
}

CBatch::CBatch() : m_store(g_store)
{
    if (m_store)
        m_store->BeginBatch();
}

CBatch::~CBatch()
{
    if (m_store)
        m_store->EndBatch();
}

std::string RectToText(const QRect& rect)
{
    return FormatText("%d, %d, %d, %d", rect.left(), rect.top(), rect.left() + rect.width(),
                      rect.top() + rect.height());
}

namespace {

// The number of numbers found (at most four); missing ones are 0.
int ParseRect(std::string_view text, QRect& rect)
{
    std::array<int, 4> numbers{};
    std::size_t found = 0;
    std::size_t position = 0;
    while (found < numbers.size()) {
        position = text.find_first_not_of(kSeparators, position);
        if (position == std::string_view::npos)
            break;
        const std::size_t end = std::min(text.find_first_of(kSeparators, position), text.size());
        const std::string piece(text.substr(position, end - position));
        numbers[found++] = static_cast<int>(
            std::clamp(std::strtol(piece.c_str(), nullptr, 10), -kCoordinateLimit, kCoordinateLimit));
        position = end;
    }
    const auto [left, top, right, bottom] = numbers;
    rect = QRect(left, top, right - left, bottom - top);
    return static_cast<int>(found);
}

} // namespace

QRect TextToRect(std::string_view text)
{
    QRect rect;
    ParseRect(text, rect);
    return rect;
}

} // namespace CwProfile
