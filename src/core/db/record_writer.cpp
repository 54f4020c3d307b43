#include "db/record_writer.h"

#include "db/database.h"
#include "db/edit_buffer.h"
#include "db/engine_error.h"
#include "db/sqlite_statement.h"
#include "db/sqlite_transaction.h"

#include <sqlite3.h>

namespace pictavo {

namespace {

// A failed write in the field rules' words.
[[noreturn]] void throwWriteError(const EngineError &error)
{
    switch (error.sqliteCode()) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        throw EngineError(QStringLiteral("Key violation."), error.sqliteCode());
    case SQLITE_CONSTRAINT_NOTNULL:
        throw EngineError(QStringLiteral("Field '%1' must have a value.")
                              .arg(error.text().section(QLatin1Char('.'), -1)),
                          error.sqliteCode());
    default:
        throw error;
    }
}

void stepWrite(SqliteStatement &statement)
{
    try {
        statement.step();
    } catch (const EngineError &error) {
        throwWriteError(error);
    }
}

} // namespace

void RecordWriter::bindField(SqliteStatement &statement, int index, const EditBuffer &buffer,
                             int f) const
{
    if (m_plan.fields[f].def.type == FieldType::Blob && !buffer.value(f).isNull())
        statement.bindBlob(index, buffer.blob(f));
    else
        statement.bind(index, buffer.value(f));
}

qint64 RecordWriter::write(const EditBuffer &buffer, bool inserting, qint64 rowId)
{
    const Database::TableFile &base = m_plan.base;
    const QString schema = quoted(base.schema) + QLatin1Char('.');
    QVector<int> fields, apart;
    for (int f = 0; f < m_plan.fields.size(); ++f)
        if (buffer.changed(f) && m_plan.fields[f].baseColumn >= 0 &&
            (!inserting || !buffer.value(f).isNull()))
            (base.layout.apart.contains(m_plan.fields[f].name.toUpper()) ? apart : fields) << f;
    if (!inserting && fields.isEmpty() && apart.isEmpty())
        return rowId;

    sqlite3 *db = m_database.handle();
    SqliteSavepoint together(db);
    const QString records = schema + quoted(base.layout.recordTable);
    QStringList columns;
    for (int f : fields)
        columns << quoted(base.info.fields[m_plan.fields[f].baseColumn].name);
    QString sql;
    if (inserting) {
        sql =
            fields.isEmpty()
                ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(records)
                : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(records, columns.join(QLatin1Char(',')),
                           QStringList(fields.size(), QStringLiteral("?")).join(QLatin1Char(',')));
    } else if (fields.isEmpty()) {
        sql = QStringLiteral("SELECT 1 FROM %1 WHERE rowid=?").arg(records);
    } else {
        sql = QStringLiteral("UPDATE %1 SET %2=? WHERE rowid=?")
                  .arg(records, columns.join(QLatin1String("=?,")));
    }
    SqliteStatement statement(db, sql);
    int index = 1;
    for (int f : fields)
        bindField(statement, index++, buffer, f);
    if (!inserting)
        statement.bind(index, rowId);
    if (fields.isEmpty() && !inserting) {
        if (!statement.step())
            throw EngineError(QStringLiteral("Record/key deleted."));
        statement.reset();
    } else {
        stepWrite(statement);
        if (inserting)
            rowId = sqlite3_last_insert_rowid(db);
        else if (sqlite3_changes(db) == 0)
            throw EngineError(QStringLiteral("Record/key deleted."));
    }
    for (int f : apart) {
        const QString table =
            schema + quoted(base.layout.apart.value(m_plan.fields[f].name.toUpper()));
        const QString column = quoted(m_plan.fields[f].name);
        const bool absent = buffer.value(f).isNull() && !m_plan.fields[f].def.required;
        SqliteStatement blob(
            db, absent ? QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(table)
                       : QStringLiteral("INSERT OR REPLACE INTO %1(rowid,%2) VALUES(?,?)")
                             .arg(table, column));
        blob.bind(1, rowId);
        if (!absent)
            bindField(blob, 2, buffer, f);
        stepWrite(blob);
    }
    together.release();
    return rowId;
}

void RecordWriter::remove(qint64 rowId)
{
    const QString schema = quoted(m_plan.base.schema) + QLatin1Char('.');
    // The blobs first, then the record they belong to.
    const QStringList tables = m_plan.base.layout.apart.values() << m_plan.base.layout.recordTable;
    {
        SqliteSavepoint together(m_database.handle());
        for (const QString &table : tables) {
            SqliteStatement statement(
                m_database.handle(),
                QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(schema + quoted(table)));
            statement.bind(1, rowId);
            statement.step();
        }
        together.release();
    }
    // The deleted photo's pages go back to the file system rather than stay in the file
    // as free pages. The delete is committed already; if this fails the pages are only
    // kept for later records, so nothing is reported.
    try {
        execSql(m_database.handle(),
                QStringLiteral("PRAGMA %1.incremental_vacuum;").arg(quoted(m_plan.base.schema)));
    } catch (const EngineError &) {
    }
}

} // namespace pictavo
