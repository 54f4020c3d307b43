#include "db/row_list.h"

#include "db/database.h"
#include "db/engine_error.h"
#include "db/sqlite_statement.h"
#include "db/sqlite_transaction.h"

#include <optional>
#include <sqlite3.h>
#include <unordered_set>

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

RowList::RowList(QueryPlan &plan, Binder bindParameters)
    : m_plan(plan), m_bindParameters(std::move(bindParameters))
{
}

RowList::~RowList() = default;

void RowList::open(Database &database)
{
    m_database = &database;
    if (m_plan.live) {
        // Prepared, not stepped, before the key query: it holds the select list as
        // written, so it names the fields and checks every item.
        m_rowStatement = prepareReadOnly(m_database->handle(), m_plan.rowSql);
        nameComputedFields(*m_rowStatement);
    }
    load();
}

void RowList::load()
{
    if (m_plan.live)
        loadRowIds();
    else
        loadResult();
    m_cache.clear();
    m_readAhead.clear();
}

void RowList::clear()
{
    m_rowIds.clear();
    m_liveCount = 0;
    m_rows.clear();
    m_cache.clear();
    m_readAhead.clear();
    m_rowStatement.reset();
    m_database = nullptr;
}

void RowList::loadResult()
{
    auto query = prepareReadOnly(m_database->handle(), m_plan.resultSql);
    if (m_plan.fields.isEmpty()) // a compound statement: its columns as SQLite names them
        m_plan.fields.resize(query->columnCount());
    nameComputedFields(*query);
    m_bindParameters(*query);
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
void RowList::nameComputedFields(const SqliteStatement &statement)
{
    for (int i = 0; i < m_plan.fields.size(); ++i)
        if (m_plan.fields[i].name.isEmpty())
            m_plan.fields[i].name = statement.columnName(i);
}

std::vector<qint64> RowList::listRowIds(int limit) const
{
    auto query = prepareReadOnly(m_database->handle(), m_plan.keySql);
    m_bindParameters(*query);
    std::vector<qint64> rowIds;
    while ((limit < 0 || int(rowIds.size()) < limit) && query->step())
        rowIds.push_back(query->columnInt64(m_plan.keyRowIdColumn));
    return rowIds;
}

// The key query selects nothing that its clauses do not need, so that it is answered
// from an index. A whole table is counted instead, from its smallest index, and only its
// first records are listed: the count reads a few bytes a record, the list of 100,000
// row ids costs more than the rest of an opening.
void RowList::loadRowIds()
{
    m_rowIds.clear();
    m_liveCount = 0;
    if (m_plan.countSql.isEmpty()) {
        m_rowIds = listRowIds(-1);
        m_liveCount = int(m_rowIds.size());
        return;
    }
    // The list and the count must see one state of the database: outside a transaction
    // they are read in one of their own, so no other connection can commit between them.
    // Nothing is written, so its rollback only lets go of the read lock.
    std::optional<SqliteTransaction> together;
    if (sqlite3_get_autocommit(m_database->handle()))
        together.emplace(m_database->handle());
    m_rowIds = listRowIds(m_listedAtOpen + 1);
    if (int(m_rowIds.size()) <= m_listedAtOpen) { // that was all of them
        m_liveCount = int(m_rowIds.size());
        return;
    }
    m_liveCount = int(std::max<qint64>(countRecords(), qint64(m_rowIds.size())));
    m_lastRowIdAtOpen = lastRowId();
}

qint64 RowList::countRecords() const
{
    auto count = prepareReadOnly(m_database->handle(), m_plan.countSql);
    return count->step() ? count->columnInt64(0) : 0;
}
// Which records there are: a record added later gets a larger row id. A table that
// numbers its records itself (AUTOINCREMENT) keeps the largest it ever gave in
// sqlite_sequence, one small page away; any other is asked for its largest.
qint64 RowList::lastRowId() const
{
    sqlite3 *db = m_database->handle();
    const QString schema = quoted(m_plan.base.schema);
    SqliteStatement hasSequence(db, QStringLiteral("SELECT 1 FROM %1.sqlite_master WHERE "
                                                   "type='table' AND name='sqlite_sequence'")
                                        .arg(schema));
    if (hasSequence.step()) {
        SqliteStatement sequence(
            db, QStringLiteral("SELECT seq FROM %1.sqlite_sequence WHERE name=?").arg(schema));
        sequence.bind(1, m_plan.base.layout.recordTable);
        if (sequence.step())
            return sequence.columnInt64(0);
    }
    SqliteStatement largest(db, QStringLiteral("SELECT max(rowid) FROM %1.%2")
                                    .arg(schema, quoted(m_plan.base.layout.recordTable)));
    return largest.step() ? largest.columnInt64(0) : 0;
}

void RowList::complete() const
{
    if (int(m_rowIds.size()) >= m_liveCount)
        return;
    const std::vector<qint64> all = listRowIds(-1);
    // With nothing committed by another connection since, this is the list read on.
    // Otherwise the rows shown keep their records and the rest are the records of the
    // time of the opening that are still there, as with a list read whole: records added
    // since (their row ids are larger) wait for the next refresh, and rows of records
    // deleted since stay empty, here at the end.
    const bool samePrefix =
        all.size() >= m_rowIds.size() && std::equal(m_rowIds.begin(), m_rowIds.end(), all.begin());
    std::unordered_set<qint64> shown;
    if (!samePrefix)
        shown.insert(m_rowIds.begin(), m_rowIds.end());
    m_rowIds.reserve(size_t(m_liveCount));
    for (size_t i = samePrefix ? m_rowIds.size() : 0;
         i < all.size() && int(m_rowIds.size()) < m_liveCount; ++i)
        if (all[i] <= m_lastRowIdAtOpen && !shown.count(all[i]))
            m_rowIds.push_back(all[i]);
    m_rowIds.resize(size_t(m_liveCount), -1);
}

qint64 RowList::rowIdAt(int row) const
{
    if (row >= int(m_rowIds.size()))
        complete();
    return m_rowIds[size_t(row)];
}

int RowList::rowOf(qint64 rowId) const
{
    if (rowId < 0)
        return -1;
    auto found = std::find(m_rowIds.begin(), m_rowIds.end(), rowId);
    if (found == m_rowIds.end() && int(m_rowIds.size()) < m_liveCount) {
        complete();
        found = std::find(m_rowIds.begin(), m_rowIds.end(), rowId);
    }
    return found == m_rowIds.end() ? -1 : int(found - m_rowIds.begin());
}

const RowList::Row &RowList::values(int row) const
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

RowList::FileStamp RowList::stampOf(const QString &schema, const QString &table) const
{
    FileStamp stamp;
    SqliteStatement others(m_database->handle(),
                           QStringLiteral("PRAGMA %1.data_version").arg(quoted(schema)));
    if (others.step())
        stamp.othersVersion = others.columnInt64(0);
    stamp.ownWrites = m_database->writesTo(schema, table);
    return stamp;
}

QByteArray RowList::readBlob(int row, int f, bool ahead) const
{
    const DataSetField &field = m_plan.fields[f];
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
    const QString table = file->layout.tableOf(columnName);
    const auto kept = std::find_if(m_readAhead.begin(), m_readAhead.end(), [&](const ReadAhead &r) {
        return r.rowId == rowId && r.field == f;
    });
    // Only bytes kept, or to be kept, need the table's state (a statement of its own), and
    // it is taken before the read: a commit racing the read makes them only look older.
    const bool keeping = ahead || kept != m_readAhead.end();
    const FileStamp stamp = keeping ? stampOf(file->schema, table) : FileStamp();
    if (kept != m_readAhead.end()) {
        const ReadAhead found = *kept;
        m_readAhead.erase(kept);
        if (found.stamp == stamp) {
            if (ahead)
                m_readAhead.push_back(found);
            return found.bytes;
        }
    }
    sqlite3_blob *blob = nullptr;
    const QByteArray schema = file->schema.toUtf8();
    const QByteArray column = columnName.toUtf8();
    if (sqlite3_blob_open(m_database->handle(), schema.constData(), table.toUtf8().constData(),
                          column.constData(), rowId, 0, &blob) != SQLITE_OK) {
        sqlite3_blob_close(blob);
        throwSqliteError(m_database->handle());
    }
    QByteArray bytes(sqlite3_blob_bytes(blob), Qt::Uninitialized);
    const int rc = sqlite3_blob_read(blob, bytes.data(), int(bytes.size()), 0);
    sqlite3_blob_close(blob);
    if (rc != SQLITE_OK)
        throwSqliteError(m_database->handle());
    if (ahead) {
        // Two photos ahead of the one shown, as many as the look-ahead decodes.
        if (m_readAhead.size() >= 2)
            m_readAhead.erase(m_readAhead.begin());
        m_readAhead.push_back({rowId, f, stamp, bytes});
    }
    return bytes;
}

void RowList::written(qint64 rowId, bool appended)
{
    if (appended) {
        m_rowIds.push_back(rowId);
        ++m_liveCount;
    }
    m_cache.remove(rowId);
}

void RowList::erase(int row)
{
    const qint64 rowId = m_rowIds[size_t(row)];
    m_rowIds.erase(m_rowIds.begin() + row);
    --m_liveCount;
    m_cache.remove(rowId);
}

} // namespace pictavo
