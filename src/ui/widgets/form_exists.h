#pragma once

#include <QString>

namespace pictavo {

// True when the application has a window (shown or hidden, not yet destroyed) whose
// object name is exactly name.
bool FormExists(const QString &name);

} // namespace pictavo
