#pragma once

#include "db/database.h"
#include "db/field_def.h"
#include "db/local_sql.h"

#include <QString>
#include <QVector>

namespace pictavo {

// One field of an open data set.
struct DataSetField
{
    QString name;
    FieldDef def;          // type, size and required flag of the column it comes from
    bool writable = false; // a column of the table of a live query
    int baseColumn = -1;   // index of that column in the table's schema
    // A blob of a read-only result: the table it is read from, its column there, and the
    // hidden result column holding the row id; -1 when it cannot be read.
    Database::TableFile blobFile;
    QString blobColumn;
    int blobRowIdColumn = -1;
};

// How a local-SQL statement is run on SQLite. A live statement is run as a key query
// that lists the row ids in order, and its records are read one at a time by row id; any
// other statement is run once and its rows kept, with the row ids its blobs come from
// where a row can name them. Either way blob columns are selected as their length, so
// opening and browsing never read a photograph. The key query selects only the select-list
// items its WHERE and ORDER BY refer to (by name or by position), the others as NULL, so
// that a query over the primary index is answered from the index alone and a record is
// read only when one of its fields is asked for.
struct QueryPlan
{
    bool live = false;
    QString keySql;         // live: the items its clauses need, then the row id
    int keyRowIdColumn = 0; // live: where keySql has the row id
    QString rowSql;         // live: the fields of one row, "?" = row id
    QString resultSql;      // read-only: the whole result
    // live, when keySql lists every record of the table: their number, which SQLite
    // counts from the smallest index without stepping through the list
    QString countSql;
    QVector<DataSetField> fields;
    int hiddenColumns = 0;    // read-only: row ids selected after the fields
    Database::TableFile base; // live: the table written back to

    static QueryPlan build(Database &database, const LocalStatement &statement);
};

} // namespace pictavo
