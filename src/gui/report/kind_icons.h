#pragma once

// The 16 x 16 icons of the seven message kinds, drawn for this program: index n is the
// icon of kind n (file action, warning, error, information, detail, debug, test).

#include <QIcon>
#include <QPixmap>
#include <vector>

QPixmap MessageKindPixmap(int kind);
std::vector<QIcon> MessageKindIcons();
