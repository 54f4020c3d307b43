#include "maintenance/backup_folder.h"

#include "base/error.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>

namespace pictavo {
namespace {

const QString kFolderPattern = QStringLiteral(".pictavo-backup-XXXXXX");
const QString kFolderLock = QStringLiteral("lock");

int openFile(const QString &path, int flags)
{
    return ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0644);
}

Error systemError(const QString &what, const QString &path)
{
    return Error(what.arg(path, QString::fromLocal8Bit(std::strerror(errno))));
}

// Dead only when that can be shown: its lock is free, or it has none (an older program
// made it, or its backup died before locking it, which the destination's lock rules out
// for a live one). A lock that cannot be asked about counts as held.
bool isDead(const QString &folder)
{
    const QString lock = QDir(folder).filePath(kFolderLock);
    const FileDescriptor probe(openFile(lock, O_RDONLY));
    if (probe.fd < 0)
        return errno == ENOENT;
    return ::flock(probe.fd, LOCK_SH | LOCK_NB) == 0;
}

qint64 bytesIn(const QString &folder)
{
    qint64 bytes = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        bytes += it.fileInfo().size();
    }
    return bytes;
}

} // namespace

QList<BackupLeftover> findBackupLeftovers(const QString &folder)
{
    QList<BackupLeftover> leftovers;
    const QString prefix = kFolderPattern.left(kFolderPattern.indexOf(QLatin1Char('X')));
    const QDir dir(folder);
    for (const QString &name :
         dir.entryList({prefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden | QDir::NoSymLinks)) {
        const QString path = dir.filePath(name);
        if (isDead(path))
            leftovers.append({path, bytesIn(path)});
    }
    return leftovers;
}

BackupFolder::BackupFolder(const QString &destination)
{
    // The destination itself is locked while the folder is made and locked and the
    // leftovers are removed, so that a folder another backup has just made, not yet
    // locked, is never taken for a leftover. Where a folder cannot be locked (some network
    // file systems), nothing is removed: a live backup's folder is never put at risk.
    const FileDescriptor destinationLock(openFile(destination, O_RDONLY | O_DIRECTORY));
    if (destinationLock.fd < 0)
        throw systemError(QStringLiteral("Could not write in \"%1\": %2"), destination);
    const bool mayClean = ::flock(destinationLock.fd, LOCK_EX) == 0;
    m_dir = std::make_unique<QTemporaryDir>(QDir(destination).filePath(kFolderPattern));
    if (!m_dir->isValid())
        throw Error(
            QStringLiteral("Could not write in \"%1\": %2").arg(destination, m_dir->errorString()));
    // A failure from here on removes the folder (m_dir) before it lets go of its lock.
    const int lock = m_lock.emplace(openFile(m_dir->filePath(kFolderLock), O_RDWR | O_CREAT)).fd;
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0)
        throw systemError(QStringLiteral("Could not write in \"%1\": %2"), path());
    if (!mayClean)
        return;
    for (const BackupLeftover &leftover : findBackupLeftovers(destination)) {
        if (QDir(leftover.path).removeRecursively()) {
            ++m_leftoversRemoved;
            m_bytesFreed += leftover.bytes;
        }
    }
}

} // namespace pictavo
