#include "framework/list_font.h"

#include <QStringList>
#include <cstdlib>

namespace {

constexpr long kBoldWeight = 700;
constexpr long kMaxPixelSize = 1000;

} // namespace

QFont ListFontToQFont(const CListFont& font, const QFont& base)
{
    if (font.name.empty())
        return base;
    QFont result = base;
    result.setFamilies(QStringList{QString::fromStdString(font.name)});
    const long height = std::labs(font.height);
    if (height > 0 && height <= kMaxPixelSize)
        result.setPixelSize(static_cast<int>(height));
    if (font.weight > 0)
        result.setBold(font.weight >= kBoldWeight);
    result.setItalic(font.italic != 0);
    return result;
}

QFont ListFontFromSettings(const std::string& name, const std::string& data, const QFont& base)
{
    CListFont font;
    if (!ParseListFont(name, data, font))
        return base;
    return ListFontToQFont(font, base);
}
