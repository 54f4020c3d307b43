#pragma once

#include <QString>

class QWidget;

namespace pictavo {

// The window forms of regutl::LoadFormPlacement / SaveFormPlacement: the subkey is named after
// the window's objectName; Left and Top are its position (pos(), frame included), Width and
// Height its size().
//
// Reads Left, Top, Width and Height in this order, each defaulting to the window's current
// value, and applies them to the window at once.
void LoadFormPlacement(QWidget *window, const QString &keyPath);
// Writes the window's current bounds, creating its subkey when missing.
void SaveFormPlacement(const QWidget *window, const QString &keyPath);

} // namespace pictavo
