#pragma once

#include "maintenance/library_check.h"

#include <QString>
#include <functional>

namespace pictavo {

struct BackupResult
{
    QString destination;
    qint64 bytes = 0;   // of the table files copied
    CheckSummary check; // of the copy
    // Folders of earlier backups into the same destination that were cut short.
    int leftoversRemoved = 0;
    qint64 bytesFreed = 0;
};

// Copies the table files of the database in `directory` into the folder `destination`
// (made when missing) as snapshots (copySnapshot; SQLite's online backup for a file in WAL
// mode), so a program or another process may go on writing meanwhile: each file is a
// snapshot of one moment. The copies are written into a temporary folder inside
// `destination`, checked as checkLibrary does (without decoding) and flushed to the disk;
// only then do they replace the files of an earlier backup there. The work folders of
// earlier backups there that were cut short are removed first (BackupFolder). `progress`
// gets 0 to 100. Throws Error with the reason; a failed backup leaves `destination` as it
// was.
// "Removed N folders of backups cut short, freeing N bytes."
QString leftoversRemovedText(const BackupResult &result);

BackupResult backupLibrary(const QString &directory, const QString &destination,
                           const std::function<void(int percent)> &progress = {});

} // namespace pictavo
