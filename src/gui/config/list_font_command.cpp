#include "config/list_font_command.h"

#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>

#include "app/application.h"
#include "config/config_texts.h"
#include "framework/list_font.h"
#include "settings/list_font.h"
#include "version.h"

namespace {

FontChooserHook& Hook()
{
    static FontChooserHook hook;
    return hook;
}

std::optional<QFont> ChooseFont(const QFont& initial, QWidget* owner)
{
    if (Hook())
        return Hook()(initial);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, owner);
    if (!ok)
        return std::nullopt;
    return chosen;
}

// A family the system does not know would silently become some other font.
bool CanCreate(const QFont& font)
{
    const QString family = font.family();
    return !family.isEmpty() && QFontDatabase::hasFamily(family);
}

} // namespace

void SetFontChooserHook(FontChooserHook hook)
{
    Hook() = std::move(hook);
}

bool RunListFontCommand(CApplication& app, QWidget* owner, const std::function<void(const QFont&)>& apply)
{
    CGeneralSettings& general = app.Core().Settings().general;
    CListFont stored;
    // Without a list font the chooser starts from the default font.
    ParseListFont(general.FontName, general.FontData, stored);
    const QFont initial = ListFontToQFont(stored, QFont());
    const std::optional<QFont> chosen = ChooseFont(initial, owner);
    if (!chosen)
        return false;
    if (!CanCreate(*chosen)) {
        if (IPrompter* prompter = app.Core().Services().prompter)
            prompter->MessageBox(ConfigText::kUnableToCreateFont, kApplicationName,
                                 MessageBoxType::kOk | MessageBoxType::kIconExclamation);
        return false;
    }
    // Numbers Qt has no notion of stay as they were stored.
    CListFont font = stored;
    font.name = chosen->family().toStdString();
    const int pixels = chosen->pixelSize() > 0 ? chosen->pixelSize() : QFontInfo(*chosen).pixelSize();
    font.height = -static_cast<long>(pixels);
    font.weight = chosen->weight();
    font.italic = chosen->italic() ? 1 : 0;
    app.Core().Storage().SaveListFont(font.name, FormatFontData(font));
    if (apply)
        apply(ListFontToQFont(font, *chosen));
    return true;
}
