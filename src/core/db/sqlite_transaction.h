#pragma once

#include "db/sqlite_statement.h"

#include <sqlite3.h>

namespace pictavo {

// A transaction on a connection that rolls back unless committed, so that every way out
// of a failed operation leaves the tables as they were.
class SqliteTransaction
{
public:
    enum class Lock
    {
        Deferred, // locks are taken as the statements need them
        // The write lock is taken before anything is read, so no other connection can
        // change a record between our reading it and writing it back.
        Immediate
    };

    explicit SqliteTransaction(sqlite3 *db, Lock lock = Lock::Deferred) : m_db(db)
    {
        execSql(m_db, lock == Lock::Immediate ? QStringLiteral("BEGIN IMMEDIATE")
                                              : QStringLiteral("BEGIN"));
    }
    ~SqliteTransaction()
    {
        if (!m_committed && !sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    SqliteTransaction(const SqliteTransaction &) = delete;
    SqliteTransaction &operator=(const SqliteTransaction &) = delete;

    void commit()
    {
        execSql(m_db, QStringLiteral("COMMIT"));
        m_committed = true;
    }

private:
    sqlite3 *m_db;
    bool m_committed = false;
};

// A savepoint: a transaction of its own outside one, a nested one inside; rolled back
// unless released. For writes that must happen together whoever called them.
class SqliteSavepoint
{
public:
    explicit SqliteSavepoint(sqlite3 *db) : m_db(db)
    {
        execSql(m_db, QStringLiteral("SAVEPOINT write_together"));
    }
    ~SqliteSavepoint()
    {
        if (!m_released)
            sqlite3_exec(m_db, "ROLLBACK TO write_together; RELEASE write_together;", nullptr,
                         nullptr, nullptr);
    }
    SqliteSavepoint(const SqliteSavepoint &) = delete;
    SqliteSavepoint &operator=(const SqliteSavepoint &) = delete;

    void release()
    {
        execSql(m_db, QStringLiteral("RELEASE write_together"));
        m_released = true;
    }

private:
    sqlite3 *m_db;
    bool m_released = false;
};

} // namespace pictavo
