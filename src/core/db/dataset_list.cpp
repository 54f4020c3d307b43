// The list of a live data set's records: row ids in order, listed at once, or for a
// whole table counted and listed only as far as the first screens until more is needed.
#include "db/dataset.h"

#include "db/database.h"
#include "db/engine_error.h"
#include "db/sqlite_statement.h"

#include <sqlite3.h>
#include <unordered_set>

namespace pictavo {

namespace {

// Reads that must see one state of the database: outside a transaction they are made in
// one of their own, so no other connection can commit between them.
class ReadTogether
{
public:
    explicit ReadTogether(sqlite3 *db) : m_db(db), m_own(sqlite3_get_autocommit(db) != 0)
    {
        if (m_own)
            execSql(m_db, QStringLiteral("BEGIN"));
    }
    ~ReadTogether()
    {
        // Nothing was written, so ending either way only lets go of the read lock.
        if (m_own && !sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    ReadTogether(const ReadTogether &) = delete;
    ReadTogether &operator=(const ReadTogether &) = delete;

private:
    sqlite3 *m_db;
    bool m_own;
};

} // namespace

std::vector<qint64> DataSet::listRowIds(int limit) const
{
    auto query = prepareQuery(m_plan.keySql);
    bindParameters(*query);
    std::vector<qint64> rowIds;
    while ((limit < 0 || int(rowIds.size()) < limit) && query->step())
        rowIds.push_back(query->columnInt64(m_plan.keyRowIdColumn));
    query->reset();
    return rowIds;
}

// The key query selects nothing that its clauses do not need, so that it is answered
// from an index. A whole table is counted instead, from its smallest index, and only its
// first records are listed: the count reads a few bytes a record, the list of 100,000
// row ids costs more than the rest of an opening.
void DataSet::loadRowIds()
{
    m_rowIds.clear();
    m_liveCount = 0;
    if (m_plan.countSql.isEmpty()) {
        m_rowIds = listRowIds(-1);
        m_liveCount = int(m_rowIds.size());
        return;
    }
    ReadTogether together(m_database->handle());
    m_rowIds = listRowIds(m_rowsListedAtOpen + 1);
    if (int(m_rowIds.size()) <= m_rowsListedAtOpen) { // that was all of them
        m_liveCount = int(m_rowIds.size());
        return;
    }
    m_liveCount = int(std::max<qint64>(countRecords(), qint64(m_rowIds.size())));
    m_lastRowIdAtOpen = lastRowId();
}

qint64 DataSet::countRecords() const
{
    auto count = prepareQuery(m_plan.countSql);
    const qint64 records = count->step() ? count->columnInt64(0) : 0;
    count->reset();
    return records;
}

// Which records there are: a record added later gets a larger row id. A table that
// numbers its records itself (AUTOINCREMENT) keeps the largest it ever gave in
// sqlite_sequence, one small page away; any other is asked for its largest.
qint64 DataSet::lastRowId() const
{
    sqlite3 *db = m_database->handle();
    const QString schema = quoted(m_plan.base.schema);
    SqliteStatement hasSequence(db, QStringLiteral("SELECT 1 FROM %1.sqlite_master WHERE "
                                                   "type='table' AND name='sqlite_sequence'")
                                        .arg(schema));
    const bool numbered = hasSequence.step();
    hasSequence.reset();
    if (numbered) {
        SqliteStatement sequence(
            db, QStringLiteral("SELECT seq FROM %1.sqlite_sequence WHERE name=?").arg(schema));
        sequence.bind(1, m_plan.base.layout.recordTable);
        const bool found = sequence.step();
        const qint64 rowId = found ? sequence.columnInt64(0) : 0;
        sequence.reset();
        if (found)
            return rowId;
    }
    SqliteStatement largest(db, QStringLiteral("SELECT max(rowid) FROM %1.%2")
                                    .arg(schema, quoted(m_plan.base.layout.recordTable)));
    const qint64 rowId = largest.step() ? largest.columnInt64(0) : 0;
    largest.reset();
    return rowId;
}

void DataSet::completeRowIds() const
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

qint64 DataSet::rowIdAt(int row) const
{
    if (row >= int(m_rowIds.size()))
        completeRowIds();
    return m_rowIds[size_t(row)];
}

qint64 DataSet::currentRowId() const
{
    if (!m_plan.live || m_current < 0 || m_current >= m_liveCount)
        return -1;
    return rowIdAt(m_current);
}

int DataSet::rowOfRowId(qint64 rowId) const
{
    if (rowId < 0)
        return -1;
    auto found = std::find(m_rowIds.begin(), m_rowIds.end(), rowId);
    if (found == m_rowIds.end() && int(m_rowIds.size()) < m_liveCount) {
        completeRowIds();
        found = std::find(m_rowIds.begin(), m_rowIds.end(), rowId);
    }
    return found == m_rowIds.end() ? -1 : int(found - m_rowIds.begin());
}

} // namespace pictavo
