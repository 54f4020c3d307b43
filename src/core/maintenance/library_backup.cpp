#include "maintenance/library_backup.h"

#include "base/error.h"
#include "db/schema.h"
#include "import/import_files.h"
#include "maintenance/backup_folder.h"
#include "maintenance/snapshot_copy.h"
#include "maintenance/table_file_reader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <sqlite3.h>

namespace pictavo {
namespace {

// Pages copied per step: the source is read-locked only during a step, so writers wait
// at most that long.
constexpr int kPagesPerStep = 1024;
// A writer that commits between steps restarts the copy. After this many restarts the
// rest is copied in one step, holding the read lock, so that the backup ends; writers
// then wait for it within their busy timeout.
constexpr int kRestartsBeforeOneStep = 20;

const QStringList &tableFiles()
{
    static const QStringList files{schema::kPhotoTableFile, schema::kKeywordTableFile};
    return files;
}

class Connection
{
public:
    explicit Connection(const QString &path)
    {
        const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr) !=
            SQLITE_OK) {
            const QString text = QString::fromUtf8(sqlite3_errmsg(m_db));
            sqlite3_close_v2(m_db);
            throw Error(QStringLiteral("Could not write \"%1\": %2").arg(path, text));
        }
        // A temporary file: it is flushed once at the end instead of at every commit.
        sqlite3_exec(m_db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;", nullptr, nullptr,
                     nullptr);
    }
    ~Connection() { sqlite3_close_v2(m_db); }
    sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

// Copies one table file into `target`, open as `targetFd`, not yet flushed to the disk;
// `report` gets the fraction done, 0 to 1. Page by page through SQLite's backup, for a
// file that copySnapshot cannot copy.
void copyTableFile(const QString &source, int targetFd, const QString &target,
                   const std::function<void(double)> &report)
{
    if (copySnapshot(source, targetFd, target, report))
        return;
    // The live database is read with read(), never from a map (see PageReads).
    const TableFileReader from(source, PageReads::Copied);
    {
        const Connection to(target);
        sqlite3_backup *backup = sqlite3_backup_init(to.handle(), "main", from.handle(), "main");
        if (backup == nullptr)
            throw Error(QStringLiteral("Could not back up \"%1\": %2")
                            .arg(source, QString::fromUtf8(sqlite3_errmsg(to.handle()))));
        int restarts = 0;
        int lastRemaining = -1;
        int rc = SQLITE_OK;
        while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            rc =
                sqlite3_backup_step(backup, restarts > kRestartsBeforeOneStep ? -1 : kPagesPerStep);
            const int remaining = sqlite3_backup_remaining(backup);
            const int total = sqlite3_backup_pagecount(backup);
            if (lastRemaining >= 0 && remaining > lastRemaining)
                ++restarts;
            lastRemaining = remaining;
            if (report && total > 0)
                report(double(total - remaining) / total);
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
                sqlite3_sleep(10);
        }
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE)
            throw Error(QStringLiteral("Could not back up \"%1\": %2")
                            .arg(source, QString::fromUtf8(sqlite3_errstr(rc))));
    }
}

// Puts a finished copy in the place of an earlier one: a journal left beside the old
// file would be played back into the new one, and a name differing only in letter case
// would stand beside it.
void putInPlace(const QString &copy, const QString &destination, const QString &fileName)
{
    const QDir dir(destination);
    const QString target = dir.filePath(fileName);
    QFile::remove(target + QLatin1String("-journal"));
    if (::rename(QFile::encodeName(copy).constData(), QFile::encodeName(target).constData()) != 0)
        throw Error(QStringLiteral("Could not put the backup in place as \"%1\": %2")
                        .arg(target, QString::fromLocal8Bit(strerror(errno))));
    for (const QString &entry : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (entry != fileName && entry.compare(fileName, Qt::CaseInsensitive) == 0)
            QFile::remove(dir.filePath(entry));
}

} // namespace

QString leftoversRemovedText(const BackupResult &result)
{
    return QStringLiteral("Removed %1 folders of backups cut short, freeing %2 bytes.")
        .arg(result.leftoversRemoved)
        .arg(result.bytesFreed);
}

BackupResult backupLibrary(const QString &directory, const QString &destination,
                           const std::function<void(int percent)> &progress)
{
    QStringList sources;
    qint64 totalBytes = 0;
    for (const QString &fileName : tableFiles()) {
        const QString path = findTableFileIn(directory, fileName);
        if (path.isEmpty())
            throw Error(
                QStringLiteral("Table \"%1\" does not exist in \"%2\".").arg(fileName, directory));
        sources << path;
        totalBytes += QFileInfo(path).size();
    }
    if (!QDir().mkpath(destination))
        throw Error(QStringLiteral("Could not create the folder \"%1\".").arg(destination));
    if (QFileInfo(destination).canonicalFilePath() == QFileInfo(directory).canonicalFilePath())
        throw Error(
            QStringLiteral("The backup folder \"%1\" is the database folder.").arg(destination));

    const BackupFolder work(destination);
    // Copying is most of the work; the check of the copy reads it from memory.
    const auto percent = [&](double fraction) {
        if (progress)
            progress(std::clamp(int(fraction * 100.0), 0, 100));
    };
    // Kept open until the check's connections to the copies are closed (see
    // FileDescriptor), for the flush.
    std::vector<std::unique_ptr<FileDescriptor>> copies;
    qint64 bytesBefore = 0;
    for (qsizetype i = 0; i < sources.size(); ++i) {
        const QString target = work.filePath(tableFiles()[i]);
        copies.push_back(std::make_unique<FileDescriptor>(
            ::open(QFile::encodeName(target).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                   0644)));
        if (copies.back()->fd < 0)
            throw Error(QStringLiteral("Could not write \"%1\": %2")
                            .arg(target, QString::fromLocal8Bit(strerror(errno))));
        const qint64 bytes = QFileInfo(sources[i]).size();
        copyTableFile(sources[i], copies.back()->fd, target, [&](double done) {
            percent(0.9 * (bytesBefore + done * bytes) / std::max<qint64>(totalBytes, 1));
        });
        bytesBefore += bytes;
    }
    // The disk writes the copies while the check reads them from memory; both must end
    // well before the copies are put in place. The thread touches descriptors only.
    std::atomic<bool> flushed = true;
    std::jthread flush([&copies, &flushed] {
        for (const auto &copy : copies)
            if (::fsync(copy->fd) != 0)
                flushed = false;
    });

    BackupResult result;
    result.destination = destination;
    result.leftoversRemoved = work.leftoversRemoved();
    result.bytesFreed = work.bytesFreed();
    for (const QString &fileName : tableFiles())
        result.bytes += QFileInfo(work.filePath(fileName)).size();
    CheckFinding firstFault{CheckFinding::Kind::Table, 0, QString()};
    CheckOptions check;
    check.readAhead = false;
    check.report = [&firstFault](const CheckFinding &finding) {
        if (finding.isDamage() && firstFault.text.isEmpty())
            firstFault = finding;
    };
    check.progress = [&](qint64 done, qint64 total) {
        percent(0.9 + 0.1 * double(done) / std::max<qint64>(total, 1));
    };
    result.check = checkLibrary(work.path(), check);
    flush.join();
    if (!result.check.sound())
        throw Error(QStringLiteral("The backup did not pass the check: %1").arg(firstFault.text));
    if (!flushed)
        throw Error(QStringLiteral("Could not write \"%1\" to the disk.").arg(work.path()));

    for (const QString &fileName : tableFiles())
        putInPlace(work.filePath(fileName), destination, fileName);
    if (!syncDirectory(destination))
        throw Error(QStringLiteral("Could not write \"%1\" to the disk.").arg(destination));
    percent(1.0);
    return result;
}

} // namespace pictavo
