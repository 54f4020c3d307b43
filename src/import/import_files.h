#pragma once

#include <QByteArray>
#include <QString>

namespace pictavo {

// The whole content of a file. A file that cannot be opened or read throws Error with
// "Could not read the file \"PATH\": " and the system's reason.
QByteArray readWholeFile(const QString &path);

// Flushes the directory's own entries to the disk, so that a file created or deleted in
// it stays so after a power loss. False when the directory cannot be opened or synced.
bool syncDirectory(const QString &path);

} // namespace pictavo
