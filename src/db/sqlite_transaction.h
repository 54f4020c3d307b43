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

} // namespace pictavo
