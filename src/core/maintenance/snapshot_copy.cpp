#include "maintenance/snapshot_copy.h"

#include "base/error.h"
#include "db/engine_error.h"
#include "db/sqlite_statement.h"
#include "maintenance/table_file_reader.h"

#include <QFile>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

#include <sqlite3.h>

namespace pictavo {
namespace {

// Bytes copied under one read lock: a writer waits at most for one piece.
constexpr qint64 kPieceBytes = qint64(16) << 20;
// After this many restarts the rest is copied under one lock, so that the copy ends;
// writers then wait for it within their busy timeout.
constexpr int kRestartsBeforeOneLock = 20;

// The copy's descriptor, which the caller owns and flushes.
class TargetFile
{
public:
    TargetFile(int fd, const QString &path) : m_path(path), m_fd(fd) {}

    // Copies inside the kernel, without passing the bytes through this process; false
    // when the files do not allow it (then nothing was copied) and write() must do.
    bool copy(int from, qint64 bytes, qint64 offset)
    {
        for (qint64 done = 0; done < bytes;) {
            loff_t in = offset + done, out = offset + done;
            const ssize_t copied =
                ::copy_file_range(from, &in, m_fd, &out, size_t(bytes - done), 0);
            if (copied < 0 && done == 0 &&
                (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP))
                return false;
            if (copied <= 0)
                fail();
            done += copied;
        }
        return true;
    }
    void write(const char *data, qint64 bytes, qint64 offset)
    {
        for (qint64 done = 0; done < bytes;) {
            const ssize_t wrote = ::pwrite(m_fd, data + done, size_t(bytes - done), offset + done);
            if (wrote <= 0)
                fail();
            done += wrote;
        }
    }
    // A restart may have left more behind than the final size.
    void finish(qint64 size)
    {
        if (::ftruncate(m_fd, size) != 0)
            fail();
    }

private:
    [[noreturn]] void fail() const
    {
        throw Error(QStringLiteral("Could not write \"%1\": %2")
                        .arg(m_path, QString::fromLocal8Bit(strerror(errno))));
    }

    QString m_path;
    int m_fd;
};

// The source connection's read lock, held from construction to destruction: no writer can
// commit meanwhile.
class ReadLock
{
public:
    explicit ReadLock(sqlite3 *db) : m_db(db)
    {
        execSql(m_db, QStringLiteral("BEGIN"));
        try {
            SqliteStatement take(m_db, QStringLiteral("SELECT count(*) FROM sqlite_master"));
            take.step();
            SqliteStatement version(m_db, QStringLiteral("PRAGMA data_version"));
            version.step();
            m_version = version.columnInt64(0);
        } catch (...) {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
    ~ReadLock() { sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr); }
    ReadLock(const ReadLock &) = delete;
    ReadLock &operator=(const ReadLock &) = delete;
    // Changes whenever another connection has committed since the last lock.
    qint64 version() const { return m_version; }

private:
    sqlite3 *m_db;
    qint64 m_version = 0;
};

} // namespace

FileDescriptor::~FileDescriptor()
{
    if (fd >= 0)
        ::close(fd);
}

bool copySnapshot(const QString &source, int targetFd, const QString &target,
                  const std::function<void(double)> &report)
{
    try {
        // Made before the connection, so closed after it (see FileDescriptor).
        const FileDescriptor sourceFile(
            ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC));
        // Where the kernel cannot copy, the file is read through SQLite's own handle, with
        // read() rather than from a map: it is the live database.
        const TableFileReader from(source, PageReads::Copied);
        sqlite3 *db = from.handle();
        {
            SqliteStatement mode(db, QStringLiteral("PRAGMA journal_mode"));
            if (!mode.step() ||
                mode.columnText(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0)
                return false;
        }
        bool inKernel = sourceFile.fd >= 0;
        sqlite3_file *file = nullptr;
        if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
            file == nullptr || file->pMethods == nullptr)
            return false;

        TargetFile to(targetFd, target);
        std::unique_ptr<char[]> buffer; // only when the kernel cannot copy
        qint64 bufferBytes = 0;
        qint64 version = -1;
        qint64 offset = 0;
        sqlite3_int64 size = 0;
        int restarts = 0;
        for (;;) {
            const ReadLock lock(db);
            if (lock.version() != version) {
                restarts += version >= 0; // a commit came between two pieces: start again
                version = lock.version();
                offset = 0;
                if (file->pMethods->xFileSize(file, &size) != SQLITE_OK)
                    throwSqliteError(db);
            }
            const bool toTheEnd = restarts > kRestartsBeforeOneLock;
            do {
                const qint64 bytes = std::min<qint64>(kPieceBytes, size - offset);
                inKernel = inKernel && to.copy(sourceFile.fd, bytes, offset);
                if (inKernel) {
                    offset += bytes;
                    continue;
                }
                if (bufferBytes < bytes) {
                    bufferBytes = bytes;
                    buffer = std::make_unique_for_overwrite<char[]>(size_t(bytes));
                }
                if (bytes > 0 &&
                    file->pMethods->xRead(file, buffer.get(), int(bytes), offset) != SQLITE_OK)
                    throw EngineError(
                        QStringLiteral("could not read %1 bytes at %2").arg(bytes).arg(offset));
                to.write(buffer.get(), bytes, offset);
                offset += bytes;
            } while (toTheEnd && offset < size);
            if (report)
                report(size > 0 ? double(offset) / double(size) : 1.0);
            if (offset >= size)
                break;
        }
        to.finish(size);
        return true;
    } catch (const EngineError &error) {
        throw Error(QStringLiteral("Could not back up \"%1\": %2").arg(source, error.text()));
    }
}

} // namespace pictavo
