#pragma once

#include <QString>

class QBoxLayout;
class QRect;
class QSize;
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

// Centres the window's frame on the available area of its screen (the primary screen
// for a window not yet shown).
void CentreOnScreen(QWidget *window);
// A window with no stored placement yet: this size, in the middle of the screen.
void PlaceAtFirstStart(QWidget *window, QSize size);

// The command panel beside a picture, docked on the right or the left of its row.
void DockPanel(QBoxLayout *row, QWidget *panel, bool right);
// The window's stored Panel_Layout: "Right" (the default) or "Left".
bool ReadPanelDockedRight(const QString &formKey);
void WritePanelDockedRight(const QString &formKey, bool right);

} // namespace pictavo
