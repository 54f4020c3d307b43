#pragma once

#include <QPixmap>

namespace pictavo {

// The program's logo for the top of the main window's panel, drawn to the given width.
QPixmap mainLogo(int width);

} // namespace pictavo
