#pragma once

#include <QString>
#include <functional>

namespace pictavo {

// One string of the program's version information, compiled into the program: ProductName,
// FileDescription, FileVersion, LegalCopyright, Homepage (and a few more). An unknown name
// reads as empty text.
QString ReadVersionString(const QString &name);

// The five lines of the version message, joined by carriage returns, from the strings the
// reader gives.
QString versionMessage(const std::function<QString(const QString &)> &read = ReadVersionString);

} // namespace pictavo
