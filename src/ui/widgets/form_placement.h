#pragma once

#include <QString>

class QRect;
class QWidget;

namespace pictavo {

// The window forms of regutl::LoadFormPlacement / SaveFormPlacement: the subkey is named after
// the window's objectName; Left and Top are its position (pos(), frame included), Width and
// Height its size().
//
// Reads Left, Top, Width and Height in this order, each defaulting to the window's current
// value, and applies them to the window at once, brought within desktopArea().
void LoadFormPlacement(QWidget *window, const QString &keyPath);
// The area all screens offer to windows; invalid when there is no screen.
QRect desktopArea();
// Writes the window's current bounds, creating its subkey when missing.
void SaveFormPlacement(const QWidget *window, const QString &keyPath);

} // namespace pictavo
