#pragma once

#include "db/query_plan.h"

#include <QByteArray>
#include <QHash>
#include <QVariant>
#include <QVector>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace pictavo {

class SqliteStatement;

// The records of an open data set. A live one is a list of row ids in order, whose fields
// are read one record at a time when asked for; a whole table is counted and listed only
// as far as its first screens until more is needed. A read-only one keeps its whole
// result. No statement is left stepping between calls.
class RowList
{
public:
    using Row = QVector<QVariant>;
    using Binder = std::function<void(SqliteStatement &)>;

    // The plan is the data set's; the list names its computed fields and, for a read-only
    // result, learns which of them hold blobs. The binder binds the statement's parameters.
    RowList(QueryPlan &plan, Binder bindParameters);
    ~RowList();

    void setListedAtOpen(int rows) { m_listedAtOpen = std::max(1, rows); }
    void open(Database &database);
    void load(); // lists the records again
    void clear();

    int count() const { return m_plan.live ? m_liveCount : int(m_rows.size()); }
    const Row &values(int row) const;
    // Live only: the row id of a record; -1 for one deleted by another since the opening.
    qint64 rowIdAt(int row) const;
    int rowOf(qint64 rowId) const; // -1 when none
    // Lists the records a partial listing left out.
    void complete() const;
    // The bytes of a blob field of a record, read from its table. Bytes read `ahead` (of
    // a move to their record, say) are kept, a few at a time, and handed to the next read
    // of the same field and record unless the blob's table was written meanwhile, by this
    // connection or another: a photo read ahead is not read twice.
    QByteArray readBlob(int row, int field, bool ahead = false) const;

    // A record was written: its fields are read again, and an appended one ends the list.
    void written(qint64 rowId, bool appended);
    void erase(int row);

private:
    std::vector<qint64> listRowIds(int limit) const;
    void loadRowIds();
    void loadResult();
    qint64 countRecords() const;
    qint64 lastRowId() const;
    void nameComputedFields(const SqliteStatement &statement);

    // What tells whether a table file may have changed since a blob was read from it.
    struct FileStamp
    {
        quint64 ownWrites = 0;     // to the blob's table, by this connection
        qint64 othersVersion = -1; // commits by other connections to its file
        bool operator==(const FileStamp &) const = default;
    };
    FileStamp stampOf(const QString &schema, const QString &table) const;
    struct ReadAhead
    {
        qint64 rowId;
        int field;
        FileStamp stamp;
        QByteArray bytes;
    };

    QueryPlan &m_plan;
    Binder m_bindParameters;
    Database *m_database = nullptr;
    int m_listedAtOpen = 256;
    // live: the records in order; after a partial listing only the first ones, completed
    // when first needed (also by const readers, hence mutable)
    mutable std::vector<qint64> m_rowIds;
    int m_liveCount = 0;                // live: the records, listed or not
    qint64 m_lastRowIdAtOpen = 0;       // live, while partly listed: the largest row id then
    std::vector<Row> m_rows;            // read-only: the whole result
    mutable QHash<qint64, Row> m_cache; // live: rows read so far (bounded)
    std::unique_ptr<SqliteStatement> m_rowStatement;
    mutable std::vector<ReadAhead> m_readAhead; // the newest last; see readBlob
};

} // namespace pictavo
