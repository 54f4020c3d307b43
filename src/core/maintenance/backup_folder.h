#pragma once

#include "maintenance/snapshot_copy.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>

namespace pictavo {

// A folder that a backup writes its copies into, inside the destination, while it runs:
// ".pictavo-backup-XXXXXX". A backup holds a lock on the file "lock" inside it for as
// long as it runs, so the folder of a backup that was killed can be told from a live one
// without guessing: nobody holds its lock any more (the system drops a lock with its
// process).
struct BackupLeftover
{
    QString path;
    qint64 bytes = 0;
};

// The folders in `folder` left by backups that no longer run (none is removed).
QList<BackupLeftover> findBackupLeftovers(const QString &folder);

// The work folder of one backup into `destination`: made and locked on construction,
// after the leftovers of earlier backups there were removed; removed with everything in
// it on destruction. Making it and removing the leftovers happen under a lock of the
// destination folder, so that a folder just made is never taken for a leftover. Throws
// Error.
class BackupFolder
{
public:
    explicit BackupFolder(const QString &destination);
    BackupFolder(const BackupFolder &) = delete;
    BackupFolder &operator=(const BackupFolder &) = delete;

    QString path() const { return m_dir->path(); }
    QString filePath(const QString &fileName) const { return m_dir->filePath(fileName); }
    int leftoversRemoved() const { return m_leftoversRemoved; }
    qint64 bytesFreed() const { return m_bytesFreed; }

private:
    std::optional<FileDescriptor> m_lock; // let go only once the folder is gone (m_dir)
    std::unique_ptr<QTemporaryDir> m_dir;
    int m_leftoversRemoved = 0;
    qint64 m_bytesFreed = 0;
};

} // namespace pictavo
