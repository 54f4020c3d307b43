#pragma once

#include "db/field_def.h"

#include <QHash>
#include <QString>
#include <QStringList>

struct sqlite3;

namespace pictavo {

// How a table file stores its one table. Either as one SQLite table, or with its blobs
// apart: SQLite rewrites a row whole when its length changes, overflow pages included, so
// a photo kept in its record's row would make every change of the record's small fields
// cost as much as the photo. Then the file holds a table of the records
// ("photodb_record"), a table of its own for each blob column ("photodb_image", keyed by
// the record's row id, no row where the blob is null), and under the table's own name a
// view that joins them, with triggers that let plain SQL add, change and delete through
// it.
struct TableLayout
{
    QString table;       // the name SQL uses: the table, or the view over the parts
    QString recordTable; // the SQLite table of the records; its rowid is the record's
    // How SQL over `table` names the row id: "rowid", or (apart) the key column, which
    // is the rowid of the records and of every blob table.
    QString rowIdName = QStringLiteral("rowid");
    QHash<QString, QString> apart; // upper-case blob column -> the table that holds it
    // Apart: a table of one row holding the number of records, kept by triggers of the
    // records' table in the same transactions as the records, so that an opening reads
    // one page instead of counting an index spread through gigabytes of photos. Empty
    // where there is none (the records are counted).
    QString countTable;

    bool split() const { return table != recordTable; }
    // The SQLite table that holds the column, to be read by row id.
    QString tableOf(const QString &column) const
    {
        return apart.value(column.toUpper(), recordTable);
    }

    // Reads the layout of the file attached as `schema`; throws "the file holds no
    // table." when it holds none.
    static TableLayout read(sqlite3 *db, const QString &schema);
    // The fields of the table in its column order, with the type, size and required flag
    // of the SQLite column that holds each.
    QVector<FieldDef> readFields(sqlite3 *db, const QString &schema) const;

    // The layout a new table of these fields gets: blobs apart when the table has an
    // autoincrement field to key them by (split() tells).
    static TableLayout forNew(const QString &table, const QVector<FieldDef> &fields);
    // The statements that create the layout's tables, view and triggers (not the
    // indexes), qualified by `schema`.
    QStringList createStatements(const QString &schema, const QVector<FieldDef> &fields) const;

    // The SQL definition of a column.
    static QString columnDefinition(const FieldDef &field);
};

} // namespace pictavo
