#include "thumbnails/thumbnail_store.h"

#include "db/engine_error.h"
#include "db/sqlite_statement.h"
#include "db/sqlite_transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <sqlite3.h>

namespace pictavo {
namespace {

constexpr int kApplicationId = 0x50767468; // "Pvth"
constexpr int kVersion = 1;
// Thumbnails written in one transaction: a commit each would cost more than the making.
constexpr int kPendingLimit = 64;

QString filePathIn(const QString &directory)
{
    return QDir(directory).filePath(QString::fromLatin1(ThumbnailStore::kFileName));
}

void removeFiles(const QString &path)
{
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

qint64 pragma(sqlite3 *db, const char *name)
{
    SqliteStatement statement(db, QStringLiteral("PRAGMA %1").arg(QLatin1String(name)));
    return statement.step() ? statement.columnInt64(0) : 0;
}

// SQLite's code for a failure: the error's own, or (for a statement run by execSql, which
// keeps only the text) the connection's last one.
int codeOf(const EngineError &error, sqlite3 *db)
{
    return error.sqliteCode() != 0 || db == nullptr ? error.sqliteCode()
                                                    : sqlite3_extended_errcode(db);
}

} // namespace

ThumbnailStore::ThumbnailStore() = default;

ThumbnailStore::~ThumbnailStore()
{
    close();
}

void ThumbnailStore::open(const QString &directory, bool writable)
{
    if (directory == m_directory && writable == m_askedWritable)
        return;
    close();
    m_directory = directory;
    m_askedWritable = m_writable = writable;
    m_remade = false;
    if (!directory.isEmpty())
        openFile(writable);
}

void ThumbnailStore::close()
{
    flush();
    closeFile();
    m_pending.clear();
    m_memory.clear();
    m_directory.clear();
    m_askedWritable = m_writable = false;
}

void ThumbnailStore::openFile(bool writable)
{
    const QString path = filePathIn(m_directory);
    int rc = SQLITE_CANTOPEN;
    if (writable) {
        rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    } else if (QFileInfo::exists(path)) {
        // Nothing may be written, not even a lock or a journal: the disk is read-only.
        const QByteArray uri = QUrl::fromLocalFile(path).toEncoded() + "?immutable=1";
        rc = sqlite3_open_v2(uri.constData(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                             nullptr);
    }
    if (rc != SQLITE_OK) {
        closeFile();
        m_writable = false;
        return;
    }
    try {
        // Another program writing thumbs.db (pictavo-cli thumbnails) is waited for only
        // briefly: the thumbnails wait, the window does not.
        sqlite3_busy_timeout(m_db, 100);
        if (writable) {
            createSchema();
        } else if (pragma(m_db, "application_id") != kApplicationId ||
                   pragma(m_db, "user_version") != kVersion) {
            closeFile();
            return;
        }
        m_find = std::make_unique<SqliteStatement>(
            m_db, QStringLiteral("SELECT photo_size, photo_hash, jpeg FROM thumbnail "
                                 "WHERE serial=?"));
    } catch (const EngineError &error) {
        fileFailed(codeOf(error, m_db));
    }
}

void ThumbnailStore::createSchema()
{
    if (pragma(m_db, "application_id") == kApplicationId &&
        pragma(m_db, "user_version") == kVersion) {
        execSql(m_db, QStringLiteral("PRAGMA synchronous=NORMAL"));
        return;
    }
    SqliteStatement objects(m_db, QStringLiteral("SELECT count(*) FROM sqlite_master"));
    const bool empty = objects.step() && objects.columnInt64(0) == 0;
    objects.reset();
    if (!empty) {
        // Another program's file of that name, or ours of another version: made anew.
        closeFile();
        removeFiles(filePathIn(m_directory));
        if (sqlite3_open_v2(QFile::encodeName(filePathIn(m_directory)).constData(), &m_db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
            throwSqliteError(m_db);
    }
    // A write-ahead log: each commit is a write without a flush, and a crash loses at most
    // the last thumbnails, never the file.
    execSql(m_db, QStringLiteral("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                                 "CREATE TABLE thumbnail(serial INTEGER PRIMARY KEY,"
                                 " photo_size INTEGER NOT NULL, photo_hash INTEGER NOT NULL,"
                                 " jpeg BLOB);"
                                 "PRAGMA application_id=%1; PRAGMA user_version=%2;")
                      .arg(kApplicationId)
                      .arg(kVersion));
}

void ThumbnailStore::fileFailed(int sqliteCode)
{
    closeFile();
    const int primary = sqliteCode & 0xff;
    if (m_writable && !m_remade && (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB)) {
        m_remade = true;
        removeFiles(filePathIn(m_directory));
        openFile(true);
        return;
    }
    m_writable = false;
}

void ThumbnailStore::closeFile()
{
    m_find.reset();
    if (m_db != nullptr)
        sqlite3_close(m_db);
    m_db = nullptr;
}

std::optional<StoredThumbnail> ThumbnailStore::find(qint64 serial)
{
    if (const auto pending = m_pending.constFind(serial); pending != m_pending.constEnd())
        return *pending;
    if (const auto kept = m_memory.constFind(serial); kept != m_memory.constEnd())
        return *kept;
    if (!m_find)
        return std::nullopt;
    try {
        m_find->reset();
        m_find->bind(1, serial);
        std::optional<StoredThumbnail> found;
        if (m_find->step())
            found = StoredThumbnail{{m_find->columnInt64(0), quint64(m_find->columnInt64(1))},
                                    m_find->columnBlob(2)};
        m_find->reset();
        return found;
    } catch (const EngineError &error) {
        fileFailed(codeOf(error, m_db));
        return std::nullopt;
    }
}

void ThumbnailStore::put(qint64 serial, const StoredThumbnail &thumbnail)
{
    if (!onDisk()) {
        keepInMemory(serial, thumbnail);
        return;
    }
    m_pending.insert(serial, thumbnail);
    if (m_pending.size() >= kPendingLimit)
        flush();
}

void ThumbnailStore::keepInMemory(qint64 serial, const StoredThumbnail &thumbnail)
{
    if (m_memory.size() >= kMemoryLimit && !m_memory.contains(serial))
        m_memory.erase(m_memory.begin());
    m_memory.insert(serial, thumbnail);
}

void ThumbnailStore::flush()
{
    if (m_pending.isEmpty() || !onDisk())
        return;
    try {
        SqliteTransaction transaction(m_db, SqliteTransaction::Lock::Immediate);
        SqliteStatement insert(m_db,
                               QStringLiteral("INSERT OR REPLACE INTO thumbnail VALUES(?,?,?,?)"));
        for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
            insert.bind(1, it.key());
            insert.bind(2, it->check.size);
            insert.bind(3, qint64(it->check.hash));
            if (it->jpeg.isEmpty())
                insert.bind(4, QVariant());
            else
                insert.bindBlob(4, it->jpeg);
            insert.step();
            insert.reset();
        }
        transaction.commit();
        m_pending.clear();
    } catch (const EngineError &error) {
        // Another program writing thumbs.db: tried again with the next ones.
        if ((codeOf(error, m_db) & 0xff) == SQLITE_BUSY && m_pending.size() < 16 * kPendingLimit)
            return;
        const QHash<qint64, StoredThumbnail> pending = std::move(m_pending);
        m_pending.clear();
        fileFailed(codeOf(error, m_db));
        for (auto it = pending.cbegin(); it != pending.cend(); ++it)
            put(it.key(), *it);
    }
}

int ThumbnailStore::keepOnly(const QHash<qint64, bool> &serials)
{
    int removed = 0;
    for (QHash<qint64, StoredThumbnail> *kept : {&m_pending, &m_memory})
        removed += int(kept->removeIf([&](const auto &it) { return !serials.contains(it.key()); }));
    if (!onDisk())
        return removed;
    try {
        SqliteTransaction transaction(m_db, SqliteTransaction::Lock::Immediate);
        std::vector<qint64> gone;
        SqliteStatement all(m_db, QStringLiteral("SELECT serial FROM thumbnail"));
        while (all.step())
            if (!serials.contains(all.columnInt64(0)))
                gone.push_back(all.columnInt64(0));
        all.reset();
        SqliteStatement remove(m_db, QStringLiteral("DELETE FROM thumbnail WHERE serial=?"));
        for (const qint64 serial : gone) {
            remove.bind(1, serial);
            remove.step();
            remove.reset();
        }
        transaction.commit();
        removed += int(gone.size());
    } catch (const EngineError &error) {
        fileFailed(codeOf(error, m_db));
    }
    return removed;
}

} // namespace pictavo
