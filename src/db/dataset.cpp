#include "db/dataset.h"

#include "db/database.h"
#include "db/engine_error.h"
#include "db/local_sql.h"
#include "db/sqlite_statement.h"
#include "db/text_rules.h"

#include <sqlite3.h>

namespace pictavo {

namespace {

constexpr int kRowCacheLimit = 4096;

// While a user's statement is prepared, only reading is authorised: a statement that
// would write, attach or change a setting cannot even be compiled.
int readOnlyAuthorizer(void *, int action, const char *, const char *, const char *, const char *)
{
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    default:
        return SQLITE_DENY;
    }
}

std::unique_ptr<SqliteStatement> prepareReadOnly(sqlite3 *db, const QString &sql)
{
    sqlite3_set_authorizer(db, readOnlyAuthorizer, nullptr);
    std::unique_ptr<SqliteStatement> statement;
    try {
        statement = std::make_unique<SqliteStatement>(db, sql);
    } catch (const EngineError &error) {
        sqlite3_set_authorizer(db, nullptr, nullptr);
        if ((error.sqliteCode() & 0xff) == SQLITE_AUTH)
            throw EngineError(
                QStringLiteral("Only a statement that reads can be opened as a query."));
        throw;
    }
    sqlite3_set_authorizer(db, nullptr, nullptr);
    if (!statement->readOnly())
        throw EngineError(QStringLiteral("Only a statement that reads can be opened as a query."));
    return statement;
}

QVariant fieldValue(const SqliteStatement &statement, int column, const FieldDef &def)
{
    if (statement.isNull(column))
        return QVariant();
    switch (def.type) {
    case FieldType::Integer:
    case FieldType::AutoInc:
    case FieldType::Blob: // selected as its length, or computed
        return QVariant(statement.isBlob(column) ? statement.columnBytes(column)
                                                 : statement.columnInt64(column));
    case FieldType::String:
    case FieldType::Memo:
        return QVariant(statement.columnText(column));
    default:
        return statement.columnValue(column);
    }
}

} // namespace

DataSet::DataSet() = default;
DataSet::~DataSet() = default;

void DataSet::setDatabaseName(const QString &directory)
{
    if (active())
        throw EngineError(QStringLiteral("Cannot perform this operation on an open dataset."));
    m_databaseName = directory;
}

void DataSet::requireActive() const
{
    if (!active())
        throw EngineError(QStringLiteral("Cannot perform this operation on a closed dataset."));
}

void DataSet::requireLive(const char *) const
{
    requireActive();
    if (!m_plan.live)
        throw EngineError(QStringLiteral("Cannot modify a read-only dataset."));
}

void DataSet::bindParameters(SqliteStatement &) const {}

void DataSet::loadRows()
{
    const int offset = m_plan.live ? 1 : 0;
    auto query =
        prepareReadOnly(m_database->handle(), m_plan.live ? m_plan.keySql : m_plan.resultSql);
    if (m_plan.fields.isEmpty()) // a compound statement: its columns as SQLite names them
        m_plan.fields.resize(query->columnCount());
    for (int i = 0; i < m_plan.fields.size(); ++i)
        if (m_plan.fields[i].name.isEmpty())
            m_plan.fields[i].name = query->columnName(i + offset);
    bindParameters(*query);
    std::vector<qint64> rowIds;
    std::vector<Row> rows;
    while (query->step()) {
        if (m_plan.live) {
            rowIds.push_back(query->columnInt64(0));
        } else {
            const int fieldCount = int(m_plan.fields.size());
            Row row(fieldCount + m_plan.hiddenColumns);
            for (int i = 0; i < fieldCount; ++i) {
                FieldDef &def = m_plan.fields[i].def;
                // A computed column that turns out to hold photos keeps only their sizes,
                // as a table's blob column does, rather than every photo in memory.
                if (def.type == FieldType::Unknown && query->isBlob(i))
                    def.type = FieldType::Blob;
                row[i] = fieldValue(*query, i, def);
            }
            for (int i = fieldCount; i < row.size(); ++i)
                if (!query->isNull(i))
                    row[i] = query->columnInt64(i);
            rows.push_back(std::move(row));
        }
    }
    query->reset();
    m_rowIds = std::move(rowIds);
    m_rows = std::move(rows);
    m_cache.clear();
}

void DataSet::open()
{
    if (active())
        return;
    try {
        m_database = Database::forDirectory(m_databaseName);
        const LocalStatement statement = LocalSql::parse(statementText());
        m_plan = QueryPlan::build(*m_database, statement);
        loadRows();
        if (m_plan.live)
            m_rowStatement = std::make_unique<SqliteStatement>(m_database->handle(), m_plan.rowSql);
    } catch (...) {
        m_rowIds.clear();
        m_rows.clear();
        m_rowStatement.reset();
        m_plan = QueryPlan();
        m_database.reset();
        throw;
    }
    m_state = State::Browse;
    m_current = recordCount() > 0 ? 0 : -1;
    m_bof = true;
    m_eof = recordCount() == 0;
    notify(Change::Reset, -1);
    fire(afterScroll);
}

void DataSet::refresh()
{
    requireActive();
    checkBrowseMode();
    const qint64 rowId = currentRowId();
    const int row = m_current;
    loadRows();
    const int found = rowOfRowId(rowId);
    m_current = recordCount() == 0 ? -1 : (found >= 0 ? found : std::min(row, recordCount() - 1));
    m_bof = m_eof = recordCount() == 0;
    notify(Change::Reset, -1);
    if (found < 0 || found != row)
        fire(afterScroll);
}

void DataSet::close()
{
    if (!active())
        return;
    // A pending edit is dropped, and said so, so that whoever tracks it (the main
    // window's modified flag) does not go on believing in it.
    if (m_state != State::Browse)
        cancel();
    m_state = State::Inactive;
    m_rowIds.clear();
    m_rows.clear();
    m_cache.clear();
    m_buffer.clear();
    m_changed.clear();
    m_blobs.clear();
    m_rowStatement.reset();
    m_plan = QueryPlan();
    m_database.reset();
    m_current = -1;
    m_bof = m_eof = true;
    notify(Change::Reset, -1);
}

int DataSet::recordCount() const
{
    requireActive();
    return int(m_plan.live ? m_rowIds.size() : m_rows.size());
}

int DataSet::viewRowCount() const
{
    if (!active())
        return 0;
    return recordCount() + (m_state == State::Insert ? 1 : 0);
}

void DataSet::setCurrent(int row, bool notifyMove)
{
    if (row == m_current && !notifyMove)
        return;
    m_current = row;
    notify(Change::CurrentChanged, row);
    fire(afterScroll);
}

void DataSet::first()
{
    requireActive();
    checkBrowseMode();
    m_bof = true;
    m_eof = recordCount() == 0;
    setCurrent(recordCount() > 0 ? 0 : -1, false);
}

void DataSet::last()
{
    requireActive();
    checkBrowseMode();
    m_eof = true;
    m_bof = recordCount() == 0;
    setCurrent(recordCount() - 1, false);
}

void DataSet::next()
{
    requireActive();
    checkBrowseMode();
    if (m_current + 1 < recordCount()) {
        m_bof = m_eof = false;
        setCurrent(m_current + 1, false);
    } else {
        m_eof = true;
    }
}

void DataSet::prior()
{
    requireActive();
    checkBrowseMode();
    if (m_current > 0) {
        m_bof = m_eof = false;
        setCurrent(m_current - 1, false);
    } else {
        m_bof = true;
    }
}

void DataSet::moveTo(int row)
{
    requireActive();
    checkBrowseMode();
    const int count = recordCount();
    if (count == 0)
        return;
    row = std::clamp(row, 0, count - 1);
    m_bof = m_eof = false;
    setCurrent(row, false);
}

int DataSet::fieldIndex(const QString &name) const
{
    for (int i = 0; i < m_plan.fields.size(); ++i)
        if (m_plan.fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int DataSet::fieldNumber(const QString &name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw EngineError(QStringLiteral("Field '%1' not found.").arg(name));
    return index;
}

const DataSet::Row &DataSet::rowValues(int row) const
{
    if (!m_plan.live)
        return m_rows[size_t(row)];
    const qint64 rowId = m_rowIds[size_t(row)];
    const auto cached = m_cache.constFind(rowId);
    if (cached != m_cache.constEnd())
        return *cached;
    if (m_cache.size() >= kRowCacheLimit)
        m_cache.clear();
    Row values(m_plan.fields.size());
    m_rowStatement->bind(1, rowId);
    if (m_rowStatement->step())
        for (int i = 0; i < values.size(); ++i)
            values[i] = fieldValue(*m_rowStatement, i, m_plan.fields[i].def);
    m_rowStatement->reset();
    return *m_cache.insert(rowId, values);
}

QVariant DataSet::valueAt(int row, int field) const
{
    requireActive();
    if (field < 0 || field >= fieldCount() || row < 0)
        return QVariant();
    if (m_state != State::Browse && row == m_current)
        return m_buffer[field];
    if (row >= recordCount())
        return QVariant();
    return rowValues(row)[field];
}

QVariant DataSet::value(const QString &name) const
{
    requireActive();
    return valueAt(m_current, fieldNumber(name));
}

QString DataSet::asString(const QString &name) const
{
    return value(name).toString();
}

qint64 DataSet::asInteger(const QString &name) const
{
    return value(name).toLongLong();
}

bool DataSet::isNull(const QString &name) const
{
    return value(name).isNull();
}

qint64 DataSet::blobSize(const QString &name) const
{
    return value(name).toLongLong();
}

qint64 DataSet::currentRowId() const
{
    if (!m_plan.live || m_current < 0 || m_current >= int(m_rowIds.size()))
        return -1;
    return m_rowIds[size_t(m_current)];
}

int DataSet::rowOfRowId(qint64 rowId) const
{
    const auto found = std::find(m_rowIds.begin(), m_rowIds.end(), rowId);
    return found == m_rowIds.end() ? -1 : int(found - m_rowIds.begin());
}

QByteArray DataSet::readBlob(const QString &name) const
{
    return readBlobAt(m_current, name);
}

QByteArray DataSet::readBlobAt(int row, const QString &name) const
{
    requireActive();
    const int f = fieldNumber(name);
    const DataSetField &field = m_plan.fields[f];
    if (field.def.type != FieldType::Blob)
        throw EngineError(QStringLiteral("Field '%1' is not a blob field.").arg(field.name));
    if (row == m_current && m_state != State::Browse && m_blobs.contains(f))
        return m_blobs.value(f);
    if (valueAt(row, f).isNull())
        return QByteArray();
    qint64 rowId = -1;
    const Database::TableFile *file = nullptr;
    QString columnName;
    if (field.baseColumn >= 0) {
        if (m_plan.live && row >= 0 && row < int(m_rowIds.size()))
            rowId = m_rowIds[size_t(row)];
        file = &m_plan.base;
        columnName = m_plan.base.info.fields[field.baseColumn].name;
    } else if (field.blobRowIdColumn >= 0 && !m_plan.live && row >= 0 && row < int(m_rows.size())) {
        const QVariant id = m_rows[size_t(row)].value(field.blobRowIdColumn);
        rowId = id.isNull() ? -1 : id.toLongLong();
        file = &field.blobFile;
        columnName = field.blobColumn;
    }
    if (rowId < 0 || !file)
        throw EngineError(
            QStringLiteral("Field '%1' cannot be read from a read-only result.").arg(field.name));
    sqlite3_blob *blob = nullptr;
    const QByteArray schema = file->schema.toUtf8();
    const QByteArray table = file->table.toUtf8();
    const QByteArray column = columnName.toUtf8();
    if (sqlite3_blob_open(m_database->handle(), schema.constData(), table.constData(),
                          column.constData(), rowId, 0, &blob) != SQLITE_OK) {
        sqlite3_blob_close(blob);
        throwSqliteError(m_database->handle());
    }
    QByteArray bytes(sqlite3_blob_bytes(blob), Qt::Uninitialized);
    const int rc = sqlite3_blob_read(blob, bytes.data(), int(bytes.size()), 0);
    sqlite3_blob_close(blob);
    if (rc != SQLITE_OK)
        throwSqliteError(m_database->handle());
    return bytes;
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

qint64 DataSet::write()
{
    const QString table = quoted(m_plan.base.schema) + QLatin1Char('.') + quoted(m_plan.base.table);
    QVector<int> fields;
    for (int f = 0; f < fieldCount(); ++f)
        if (m_changed[f] && m_plan.fields[f].baseColumn >= 0 &&
            (m_state == State::Edit || !m_buffer[f].isNull()))
            fields << f;
    if (m_state == State::Edit && fields.isEmpty())
        return currentRowId();

    QStringList columns;
    for (int f : fields)
        columns << quoted(m_plan.base.info.fields[m_plan.fields[f].baseColumn].name);
    QString sql;
    if (m_state == State::Insert) {
        sql =
            fields.isEmpty()
                ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(table, columns.join(QLatin1Char(',')),
                           QStringList(fields.size(), QStringLiteral("?")).join(QLatin1Char(',')));
    } else {
        sql = QStringLiteral("UPDATE %1 SET %2=? WHERE rowid=?")
                  .arg(table, columns.join(QLatin1String("=?,")));
    }
    SqliteStatement statement(m_database->handle(), sql);
    int index = 1;
    for (int f : fields) {
        if (m_plan.fields[f].def.type == FieldType::Blob && !m_buffer[f].isNull())
            statement.bindBlob(index++, m_blobs[f]);
        else
            statement.bind(index++, m_buffer[f]);
    }
    if (m_state == State::Edit)
        statement.bind(index, currentRowId());
    try {
        statement.step();
    } catch (const EngineError &error) {
        switch (error.sqliteCode()) {
        case SQLITE_CONSTRAINT_UNIQUE:
        case SQLITE_CONSTRAINT_PRIMARYKEY:
            throw EngineError(QStringLiteral("Key violation."), error.sqliteCode());
        case SQLITE_CONSTRAINT_NOTNULL:
            throw EngineError(QStringLiteral("Field '%1' must have a value.")
                                  .arg(error.text().section(QLatin1Char('.'), -1)),
                              error.sqliteCode());
        default:
            throw;
        }
    }
    if (m_state == State::Insert)
        return sqlite3_last_insert_rowid(m_database->handle());
    if (sqlite3_changes(m_database->handle()) == 0)
        throw EngineError(QStringLiteral("Record/key deleted."));
    return currentRowId();
}

void DataSet::post()
{
    requireActive();
    if (m_state == State::Browse)
        return;
    fire(beforePost);
    qint64 rowId = -1;
    try {
        checkRequired();
        rowId = write();
    } catch (const Error &error) {
        if (onPostError)
            onPostError(*this, error);
        throw;
    }
    if (m_state == State::Insert)
        m_rowIds.push_back(rowId);
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
    const qint64 rowId = currentRowId();
    const QString table = quoted(m_plan.base.schema) + QLatin1Char('.') + quoted(m_plan.base.table);
    SqliteStatement statement(m_database->handle(),
                              QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(table));
    statement.bind(1, rowId);
    statement.step();
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
    m_cache.remove(rowId);
    m_current = std::min(row, recordCount() - 1); // valid before any listener looks
    m_bof = m_eof = recordCount() == 0;
    notify(Change::RowRemoved, row);
    notify(Change::CurrentChanged, m_current);
    fire(afterDelete);
    fire(afterScroll);
}

void DataSet::checkBrowseMode()
{
    if (m_state == State::Edit || m_state == State::Insert)
        post();
}

int DataSet::addListener(Listener listener)
{
    const int id = m_nextListener++;
    m_listeners.insert(id, std::move(listener));
    return id;
}

void DataSet::removeListener(int id)
{
    m_listeners.remove(id);
}

void DataSet::notify(Change::Kind kind, int row)
{
    const auto listeners = m_listeners;
    for (const Listener &listener : listeners)
        listener({kind, row});
}

void DataSet::fire(const Hook &hook)
{
    if (hook)
        hook(*this);
}

} // namespace pictavo
