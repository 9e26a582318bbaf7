#pragma once

// The list-font command, shared by the general configuration's font button and the main
// window's font command: the font is chosen, written at once and applied to the lists at
// once; no later Cancel undoes it.

#include <QFont>
#include <functional>
#include <optional>

class CApplication;
class QWidget;

// Replaces the font chooser (tests): the chosen font, or nothing for cancel. An empty
// hook brings the real chooser back.
using FontChooserHook = std::function<std::optional<QFont>(const QFont& initial)>;
void SetFontChooserHook(FontChooserHook hook);

// True when a font was chosen, written and applied; false when cancelled or the font
// cannot be made ("Unable to Create Font", the previous font stays).
bool RunListFontCommand(CApplication& app, QWidget* owner, const std::function<void(const QFont&)>& apply);
