#include "maintenance/table_file_reader.h"

#include "db/sqlite_statement.h"
#include "maintenance/mapped_read_guard.h"

#include <mutex>
#include <vector>

#include <sqlite3.h>

namespace pictavo {
namespace {

// Abandoned connections and their blob handles (see TableFileReader::read), kept rather
// than lost.
void keepForever(sqlite3 *db, sqlite3_blob *blob)
{
    static std::mutex mutex;
    // Never destroyed, so the connections are still held at exit.
    static auto *const kept = new std::vector<std::pair<sqlite3 *, sqlite3_blob *>>;
    const std::lock_guard lock(mutex);
    kept->emplace_back(db, blob);
}

} // namespace

TableFileReader::TableFileReader(const QString &path, PageReads reads)
    : m_db(openConnection(fileUri(path, "ro"),
                          SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX))
{
    if (reads == PageReads::Mapped)
        sqlite3_exec(m_db, "PRAGMA mmap_size=2147418112", nullptr, nullptr, nullptr);
    try {
        read([this] { m_layout = TableLayout::read(m_db, QStringLiteral("main")); });
        m_table = quoted(m_layout.table);
        m_rowId = m_layout.rowIdName == QLatin1String("rowid") ? m_layout.rowIdName
                                                               : quoted(m_layout.rowIdName);
    } catch (const UnreadableTableFile &) {
        throw; // abandoned: see read()
    } catch (...) {
        sqlite3_close_v2(m_db);
        throw;
    }
}

TableFileReader::~TableFileReader()
{
    if (m_abandoned)
        return; // see read()
    closeBlob();
    sqlite3_close_v2(m_db);
}

void TableFileReader::read(const std::function<void()> &steps)
{
    Q_ASSERT(!m_abandoned);
    if (readMapped(steps))
        return;
    // SQLite was left in the middle of a statement: its connection, statements and blob
    // handle are in no state to be stepped, reset or closed. They are left as they are,
    // with their memory, descriptor, map and read lock, for the rest of the process: a
    // leak once per unreadable file, and the only safe choice. The read lock is on a file
    // this process only reads (the live database is read with PageReads::Copied).
    m_abandoned = true;
    keepForever(m_db, m_blob);
    throw UnreadableTableFile();
}

qint64 TableFileReader::openBlob(const char *column, qint64 rowid)
{
    // Moving an open handle to another row costs no new statement.
    if (m_blob != nullptr && m_blobColumn == column) {
        if (sqlite3_blob_reopen(m_blob, rowid) == SQLITE_OK)
            return sqlite3_blob_bytes(m_blob);
        const EngineError error(QString::fromUtf8(sqlite3_errmsg(m_db)),
                                sqlite3_extended_errcode(m_db));
        closeBlob(); // a failed move leaves the handle aborted
        throw error;
    }
    closeBlob();
    const QByteArray table = m_layout.tableOf(QString::fromUtf8(column)).toUtf8();
    if (sqlite3_blob_open(m_db, "main", table.constData(), column, rowid, 0, &m_blob) !=
        SQLITE_OK) {
        m_blob = nullptr;
        throwSqliteError(m_db);
    }
    m_blobColumn = column;
    return sqlite3_blob_bytes(m_blob);
}

QByteArray TableFileReader::readBlob(qint64 bytes) const
{
    Q_ASSERT(m_blob != nullptr);
    QByteArray out(std::clamp<qint64>(bytes, 0, sqlite3_blob_bytes(m_blob)), Qt::Uninitialized);
    if (sqlite3_blob_read(m_blob, out.data(), int(out.size()), 0) != SQLITE_OK)
        throwSqliteError(m_db);
    return out;
}

void TableFileReader::closeBlob()
{
    sqlite3_blob_close(m_blob);
    m_blob = nullptr;
}

} // namespace pictavo
