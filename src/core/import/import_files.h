#pragma once

#include <QByteArray>
#include <QString>

namespace pictavo {

// The whole content of a file. A file that cannot be opened or read throws Error with
// "Could not read the file \"PATH\": " and the system's reason.
QByteArray readWholeFile(const QString &path);

// What a file looked like on the disk, enough to tell that it has been written to or
// replaced since: two stamps of one unchanged file are equal. A missing file has the
// default stamp.
struct FileStamp
{
    qint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    bool operator==(const FileStamp &) const = default;
};

FileStamp fileStamp(const QString &path);

// Flushes the directory's own entries to the disk, so that a file created or deleted in
// it stays so after a power loss. False when the directory cannot be opened or synced.
bool syncDirectory(const QString &path);

} // namespace pictavo
