#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace pictavo {

// A prepared statement that finalizes itself. Every failure throws EngineError with
// SQLite's message. Callers reset() as soon as they have read, so that no statement
// keeps a read lock on a table file between calls.
class SqliteStatement
{
public:
    SqliteStatement(sqlite3 *db, const QString &sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    sqlite3_stmt *handle() const { return m_stmt; }

    void bind(int index, const QVariant &value);
    void bindBlob(int index, const QByteArray &bytes);
    int parameterCount() const;

    // Steps once: true when a row is ready, false when done.
    bool step();
    void reset();

    int columnCount() const;
    QString columnName(int column) const;
    bool isNull(int column) const;
    bool isBlob(int column) const;
    // The size of a blob or text value, without copying it.
    qint64 columnBytes(int column) const;
    QByteArray columnBlob(int column) const;
    qint64 columnInt64(int column) const;
    QString columnText(int column) const;
    QVariant columnValue(int column) const;

    bool readOnly() const;

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
};

// An identifier in double quotes, any double quote in it doubled.
QString quoted(const QString &identifier);
// Identifiers, each quoted behind `qualifier`, joined by commas.
QString quotedList(const QStringList &names, const QString &qualifier = QString());

// A file's URI for opening or attaching it as `mode` says ("ro", "rw" or "rwc").
QString fileUri(const QString &path, const char *mode);
// Opens a connection with extended result codes and a busy timeout that covers another
// process's brief lock (the command-line tool beside the program); throws EngineError with
// SQLite's message when it cannot.
sqlite3 *openConnection(const QString &uri, int flags);

// Throws EngineError with the connection's last message.
[[noreturn]] void throwSqliteError(sqlite3 *db);
// Runs one or more statements that return no rows.
void execSql(sqlite3 *db, const QString &sql);

} // namespace pictavo
