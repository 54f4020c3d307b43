#pragma once

#include <QIcon>

namespace pictavo {

// The program's icon in all its sizes, for the windows, the splash and the desktop entry.
QIcon programIcon();

} // namespace pictavo
