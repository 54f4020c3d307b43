// The read path of a data set: opening, refreshing, moving and reading fields. The write
// path (edit, append, post, cancel, delete) is in dataset_write.cpp.
#include "db/dataset.h"

#include "db/database.h"
#include "db/engine_error.h"
#include "db/local_sql.h"
#include "db/sqlite_statement.h"

#include <optional>
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

bool DataSet::libraryReadOnly() const
{
    return active() && m_database && m_database->readOnly();
}

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

void DataSet::bindParameters(SqliteStatement &) const {}

void DataSet::loadRows()
{
    if (m_plan.live)
        loadRowIds();
    else
        loadResult();
    m_cache.clear();
}

std::unique_ptr<SqliteStatement> DataSet::prepareQuery(const QString &sql) const
{
    return prepareReadOnly(m_database->handle(), sql);
}

void DataSet::loadResult()
{
    auto query = prepareReadOnly(m_database->handle(), m_plan.resultSql);
    if (m_plan.fields.isEmpty()) // a compound statement: its columns as SQLite names them
        m_plan.fields.resize(query->columnCount());
    nameComputedFields(*query);
    bindParameters(*query);
    std::vector<Row> rows;
    const int fieldCount = int(m_plan.fields.size());
    while (query->step()) {
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
    query->reset();
    m_rows = std::move(rows);
}

// A computed field is named as SQLite names its column in the statement as written.
void DataSet::nameComputedFields(const SqliteStatement &statement)
{
    for (int i = 0; i < m_plan.fields.size(); ++i)
        if (m_plan.fields[i].name.isEmpty())
            m_plan.fields[i].name = statement.columnName(i);
}

void DataSet::open()
{
    if (active())
        return;
    // Made before anything of this data set changes: it refuses an opening from inside
    // the watcher of one that is running, which may be this data set's own.
    const std::shared_ptr<Database> database = Database::forDirectory(m_databaseName);
    std::optional<Database::Watch> watch(std::in_place, *database, m_watcher);
    try {
        m_database = database;
        const LocalStatement statement = LocalSql::parse(statementText());
        m_plan = QueryPlan::build(*m_database, statement);
        if (m_plan.live) {
            // Prepared, not stepped, before the key query: it holds the select list as
            // written, so it names the fields and checks every item.
            m_rowStatement = prepareReadOnly(m_database->handle(), m_plan.rowSql);
            nameComputedFields(*m_rowStatement);
        }
        loadRows();
        // A stop that met only a statement whose failure is a mere hint (the warmer's)
        // still stops the opening: nothing half-read is shown as a result.
        if (watch->stopped())
            throw QueryStopped();
        watch.reset(); // the hooks below may open other data sets
    } catch (...) {
        const bool stopped = watch && watch->stopped();
        watch.reset();
        m_rowIds.clear();
        m_liveCount = 0;
        m_rows.clear();
        m_rowStatement.reset();
        m_plan = QueryPlan();
        m_database.reset();
        // Whatever SQLite made of the interruption, the statement was stopped.
        if (stopped)
            throw QueryStopped();
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
    m_liveCount = 0;
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
    return m_plan.live ? m_liveCount : int(m_rows.size());
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
    const qint64 rowId = rowIdAt(row);
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
        if (m_plan.live && row >= 0 && row < m_liveCount)
            rowId = rowIdAt(row);
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
    const QByteArray table = file->layout.tableOf(columnName).toUtf8();
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
