// The write path of a data set: edit, append, set fields, post, cancel and delete. The
// read path (opening, moving, reading fields) is in dataset.cpp.
#include "db/dataset.h"

#include "db/database.h"
#include "db/engine_error.h"
#include "db/sqlite_statement.h"
#include "db/sqlite_transaction.h"
#include "db/text_rules.h"

#include <sqlite3.h>

#include <limits>

namespace pictavo {

void DataSet::requireLive(const char *) const
{
    requireActive();
    if (!m_plan.live)
        throw EngineError(QStringLiteral("Cannot modify a read-only dataset."));
    if (m_plan.base.readOnly)
        throw EngineError(readOnlyLibraryText(m_database->directory()));
}

QVariant DataSet::convert(int f, const QVariant &value) const
{
    const FieldDef &def = m_plan.fields[f].def;
    if (!value.isValid() || value.isNull())
        return QVariant();
    switch (def.type) {
    case FieldType::String:
    case FieldType::Memo: {
        QString text = value.toString();
        if (def.type == FieldType::String)
            text = cutToCharacters(text, def.size);
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case FieldType::Integer:
    case FieldType::AutoInc: {
        bool ok = false;
        qint64 number = 0;
        if (value.typeId() == QMetaType::QString) {
            const QString text = value.toString().trimmed();
            if (text.isEmpty())
                return QVariant();
            number = text.toLongLong(&ok);
        } else {
            number = value.toLongLong(&ok);
        }
        if (!ok || number < std::numeric_limits<qint32>::min() ||
            number > std::numeric_limits<qint32>::max())
            throw EngineError(
                QStringLiteral("'%1' is not a valid integer value.").arg(value.toString()));
        return QVariant(number);
    }
    default:
        return value;
    }
}

void DataSet::setValue(const QString &name, const QVariant &value)
{
    requireActive();
    setValue(fieldNumber(name), value);
}

void DataSet::setValue(int f, const QVariant &value)
{
    requireActive();
    if (m_state == State::Browse)
        throw EngineError(QStringLiteral("Dataset not in edit or insert mode."));
    const DataSetField &field = m_plan.fields[f];
    if (!field.writable)
        throw EngineError(QStringLiteral("Field '%1' cannot be modified.").arg(field.name));
    if (field.def.type == FieldType::Blob) {
        const QByteArray bytes = value.toByteArray();
        m_blobs.insert(f, bytes);
        m_buffer[f] = bytes.isEmpty() ? QVariant() : QVariant(qint64(bytes.size()));
    } else {
        m_buffer[f] = convert(f, value);
    }
    m_changed[f] = true;
    notify(Change::RowChanged, m_current);
}

void DataSet::setBlob(const QString &name, const QByteArray &bytes)
{
    setValue(name, QVariant(bytes));
}

void DataSet::edit()
{
    requireLive("edit");
    if (m_state != State::Browse)
        return;
    if (recordCount() == 0) {
        append();
        return;
    }
    m_buffer = rowValues(m_current);
    m_changed = QVector<bool>(fieldCount(), false);
    m_blobs.clear();
    m_state = State::Edit;
    notify(Change::StateChanged, m_current);
    fire(afterEdit);
}

void DataSet::append()
{
    requireLive("append");
    checkBrowseMode();
    m_beforeInsert = m_current;
    m_buffer = Row(fieldCount());
    m_changed = QVector<bool>(fieldCount(), false);
    m_blobs.clear();
    m_state = State::Insert;
    m_current = recordCount();
    m_bof = m_eof = false;
    notify(Change::RowInserted, m_current);
    notify(Change::CurrentChanged, m_current);
    notify(Change::StateChanged, m_current);
    fire(afterInsert);
    fire(afterScroll);
}

void DataSet::checkRequired() const
{
    if (m_state == State::Insert) {
        const QVector<FieldDef> &columns = m_plan.base.info.fields;
        for (int c = 0; c < columns.size(); ++c) {
            if (!columns[c].required || columns[c].type == FieldType::AutoInc)
                continue;
            bool present = false;
            for (int f = 0; f < fieldCount(); ++f)
                present = present || (m_plan.fields[f].baseColumn == c && !m_buffer[f].isNull());
            if (!present)
                throw EngineError(
                    QStringLiteral("Field '%1' must have a value.").arg(columns[c].name));
        }
        return;
    }
    for (int f = 0; f < fieldCount(); ++f)
        if (m_changed[f] && m_plan.fields[f].def.required && m_buffer[f].isNull())
            throw EngineError(
                QStringLiteral("Field '%1' must have a value.").arg(m_plan.fields[f].name));
}

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

void DataSet::bindField(SqliteStatement &statement, int index, int f) const
{
    if (m_plan.fields[f].def.type == FieldType::Blob && !m_buffer[f].isNull())
        statement.bindBlob(index, m_blobs[f]);
    else
        statement.bind(index, m_buffer[f]);
}

// The record's own fields, then each blob kept apart in its table, together: a write that
// fails half-way leaves both as they were.
qint64 DataSet::write()
{
    const Database::TableFile &base = m_plan.base;
    const QString schema = quoted(base.schema) + QLatin1Char('.');
    QVector<int> fields, apart;
    for (int f = 0; f < fieldCount(); ++f)
        if (m_changed[f] && m_plan.fields[f].baseColumn >= 0 &&
            (m_state == State::Edit || !m_buffer[f].isNull()))
            (base.layout.apart.contains(m_plan.fields[f].name.toUpper()) ? apart : fields) << f;
    if (m_state == State::Edit && fields.isEmpty() && apart.isEmpty())
        return currentRowId();

    sqlite3 *db = m_database->handle();
    SqliteSavepoint together(db);
    const QString records = schema + quoted(base.layout.recordTable);
    QStringList columns;
    for (int f : fields)
        columns << quoted(base.info.fields[m_plan.fields[f].baseColumn].name);
    QString sql;
    if (m_state == State::Insert) {
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
        bindField(statement, index++, f);
    if (m_state == State::Edit)
        statement.bind(index, currentRowId());
    qint64 rowId = currentRowId();
    if (fields.isEmpty() && m_state == State::Edit) {
        if (!statement.step())
            throw EngineError(QStringLiteral("Record/key deleted."));
        statement.reset();
    } else {
        stepWrite(statement);
        if (m_state == State::Insert)
            rowId = sqlite3_last_insert_rowid(db);
        else if (sqlite3_changes(db) == 0)
            throw EngineError(QStringLiteral("Record/key deleted."));
    }
    for (int f : apart) {
        const QString table =
            schema + quoted(base.layout.apart.value(m_plan.fields[f].name.toUpper()));
        const QString column = quoted(m_plan.fields[f].name);
        const bool absent = m_buffer[f].isNull() && !m_plan.fields[f].def.required;
        SqliteStatement blob(
            db, absent ? QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(table)
                       : QStringLiteral("INSERT OR REPLACE INTO %1(rowid,%2) VALUES(?,?)")
                             .arg(table, column));
        blob.bind(1, rowId);
        if (!absent)
            bindField(blob, 2, f);
        stepWrite(blob);
    }
    together.release();
    return rowId;
}

void DataSet::post()
{
    requireActive();
    if (m_state == State::Browse)
        return;
    fire(beforePost);
    qint64 rowId = -1;
    try {
        // Writing changes what a later listing would find, so the list is completed first.
        completeRowIds();
        checkRequired();
        rowId = write();
    } catch (const Error &error) {
        if (onPostError)
            onPostError(*this, error);
        throw;
    }
    if (m_state == State::Insert) {
        m_rowIds.push_back(rowId);
        ++m_liveCount;
    }
    m_cache.remove(rowId);
    m_state = State::Browse;
    m_buffer.clear();
    m_changed.clear();
    m_blobs.clear();
    notify(Change::RowChanged, m_current);
    notify(Change::StateChanged, m_current);
    fire(afterPost);
}

void DataSet::cancel()
{
    requireActive();
    if (m_state == State::Browse)
        return;
    const bool inserting = m_state == State::Insert;
    const int row = m_current;
    m_state = State::Browse;
    m_buffer.clear();
    m_changed.clear();
    m_blobs.clear();
    if (inserting) {
        // Listeners are told after the fact, and may read the data set while they are:
        // the current record is one that exists before anyone hears of the removal.
        m_current = std::min(m_beforeInsert, recordCount() - 1);
        m_bof = m_eof = recordCount() == 0;
        notify(Change::RowRemoved, row);
        notify(Change::CurrentChanged, m_current);
    } else {
        notify(Change::RowChanged, row);
    }
    notify(Change::StateChanged, m_current);
    fire(afterCancel);
    // Cancelling an append returns to another record, which the window shows again.
    if (inserting)
        fire(afterScroll);
}

void DataSet::remove()
{
    requireLive("delete");
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (recordCount() == 0)
        throw EngineError(QStringLiteral("Cannot perform this operation on an empty dataset."));
    completeRowIds();
    const qint64 rowId = currentRowId();
    {
        const QString schema = quoted(m_plan.base.schema) + QLatin1Char('.');
        SqliteSavepoint together(m_database->handle());
        for (const QString &table : m_plan.base.layout.apart)
            deleteRow(schema + quoted(table), rowId);
        deleteRow(schema + quoted(m_plan.base.layout.recordTable), rowId);
        together.release();
    }
    // The deleted photo's pages go back to the file system rather than stay in the file
    // as free pages. The delete is committed already; if this fails the pages are only
    // kept for later records, so nothing is reported.
    try {
        execSql(m_database->handle(),
                QStringLiteral("PRAGMA %1.incremental_vacuum;").arg(quoted(m_plan.base.schema)));
    } catch (const EngineError &) {
    }
    m_state = State::Browse;
    m_buffer.clear();
    m_changed.clear();
    m_blobs.clear();
    const int row = m_current;
    m_rowIds.erase(m_rowIds.begin() + row);
    --m_liveCount;
    m_cache.remove(rowId);
    m_current = std::min(row, recordCount() - 1); // valid before any listener looks
    m_bof = m_eof = recordCount() == 0;
    notify(Change::RowRemoved, row);
    notify(Change::CurrentChanged, m_current);
    fire(afterDelete);
    fire(afterScroll);
}

void DataSet::deleteRow(const QString &table, qint64 rowId)
{
    SqliteStatement statement(m_database->handle(),
                              QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(table));
    statement.bind(1, rowId);
    statement.step();
}

void DataSet::checkBrowseMode()
{
    if (m_state == State::Edit || m_state == State::Insert)
        post();
}

} // namespace pictavo
