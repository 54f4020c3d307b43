// The list of a live data set's records: row ids in order, listed at once, or for a
// whole table counted and listed only as far as the first screens until more is needed.
#include "db/dataset.h"

#include "db/count_cache.h"
#include "db/database.h"
#include "db/engine_error.h"
#include "db/sqlite_statement.h"

#include <sqlite3.h>
#include <unordered_set>

namespace pictavo {

namespace {

// Rows that a grid shows on opening, about; their pages are asked for together.
constexpr std::size_t kFirstScreenRows = 40;

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

// A walk over a whole index reads each page once. Given the file's page cache, every page
// takes a fresh slot, and allocating those costs several times more than reading the
// pages: a count of 100,000 records took 6 ms with the cache and under 1 ms with a few
// slots used over and over. The cache is made small for the walk and given back after;
// not while the file is being written, whose changed pages must stay in the cache.
class BriefPageCache
{
public:
    BriefPageCache(sqlite3 *db, const QString &schema)
        : m_db(db), m_pragma(QStringLiteral("PRAGMA %1.cache_size").arg(quoted(schema)))
    {
        if (sqlite3_txn_state(m_db, schema.toUtf8().constData()) == SQLITE_TXN_WRITE)
            return;
        SqliteStatement size(m_db, m_pragma);
        if (!size.step())
            return;
        m_size = size.columnInt64(0);
        size.reset();
        execSql(m_db, m_pragma + QStringLiteral("=16"));
    }
    ~BriefPageCache()
    {
        if (m_size != 0)
            sqlite3_exec(m_db, (m_pragma + QStringLiteral("=%1").arg(m_size)).toUtf8().constData(),
                         nullptr, nullptr, nullptr);
    }
    BriefPageCache(const BriefPageCache &) = delete;
    BriefPageCache &operator=(const BriefPageCache &) = delete;

private:
    sqlite3 *m_db;
    QString m_pragma;
    qint64 m_size = 0;
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
        m_database->warmIndexesOf(m_plan.keySql);
        m_rowIds = listRowIds(-1);
        m_liveCount = int(m_rowIds.size());
        warmFirstRows();
        return;
    }
    ReadTogether together(m_database->handle());
    m_rowIds = listRowIds(m_rowsListedAtOpen + 1);
    warmFirstRows();
    if (int(m_rowIds.size()) <= m_rowsListedAtOpen) { // that was all of them
        m_liveCount = int(m_rowIds.size());
        return;
    }
    m_liveCount =
        int(std::max<qint64>(countRecords(qint64(m_rowIds.size())), qint64(m_rowIds.size())));
    m_lastRowIdAtOpen = lastRowId();
}

// The count kept from the last opening of an unchanged file, or a fresh one, kept. A kept
// count below `atLeast`, the records already seen, is not believed.
qint64 DataSet::countRecords(qint64 atLeast) const
{
    sqlite3 *db = m_database->handle();
    const CountCache counts(db, m_plan.base);
    if (const std::optional<qint64> kept = counts.kept(); kept && *kept >= atLeast)
        return *kept;
    // The count's pages are asked for after the first screen's: the count waits for all
    // of them anyway, and the screen's few reads would otherwise queue behind them.
    m_database->warmIndexesOf(m_plan.countSql);
    const BriefPageCache cache(db, m_plan.base.schema);
    auto count = prepareQuery(m_plan.countSql);
    const qint64 records = count->step() ? count->columnInt64(0) : 0;
    count->reset();
    counts.keep(records);
    return records;
}

// The first screen's records lie each on a page of its own when photos are large, and are
// read one after another: asked for at once, they come in while the rest is counted.
void DataSet::warmFirstRows() const
{
    const std::size_t rows = std::min(m_rowIds.size(), kFirstScreenRows);
    m_database->warmRows(m_plan.base.schema, m_plan.base.table,
                         std::vector<qint64>(m_rowIds.begin(), m_rowIds.begin() + qint64(rows)));
}

// A whole table that was counted and has changed since (by this program or another) is
// counted again on closing, while its pages are still in memory, so that the next
// opening finds its count kept. Only a cache: nothing here may fail a close.
void DataSet::keepCountForNextOpening() const
{
    if (!m_plan.live || m_plan.countSql.isEmpty() || m_liveCount <= m_rowsListedAtOpen)
        return;
    try {
        sqlite3 *db = m_database->handle();
        ReadTogether together(db);
        SqliteStatement touch(db, QStringLiteral("SELECT 1 FROM %1.sqlite_master LIMIT 1")
                                      .arg(quoted(m_plan.base.schema)));
        touch.step();
        if (sqlite3_txn_state(db, m_plan.base.schema.toUtf8().constData()) == SQLITE_TXN_READ)
            countRecords(0);
        touch.reset();
    } catch (const EngineError &) {
    }
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
        sequence.bind(1, m_plan.base.table);
        const bool found = sequence.step();
        const qint64 rowId = found ? sequence.columnInt64(0) : 0;
        sequence.reset();
        if (found)
            return rowId;
    }
    SqliteStatement largest(
        db, QStringLiteral("SELECT max(rowid) FROM %1.%2").arg(schema, quoted(m_plan.base.table)));
    const qint64 rowId = largest.step() ? largest.columnInt64(0) : 0;
    largest.reset();
    return rowId;
}

void DataSet::completeRowIds() const
{
    if (int(m_rowIds.size()) >= m_liveCount)
        return;
    m_database->warmIndexesOf(m_plan.keySql);
    std::vector<qint64> all;
    {
        const BriefPageCache cache(m_database->handle(), m_plan.base.schema);
        all = listRowIds(-1);
    }
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
