#include "db/table_layout.h"

#include "db/engine_error.h"
#include "db/sqlite_statement.h"

namespace pictavo {

namespace {

const QString kRecordSuffix = QStringLiteral("_record");
const QString kCountSuffix = QStringLiteral("_record_count");

QString apartTableName(const QString &table, const QString &column)
{
    return table + QLatin1Char('_') + column.toLower();
}

QString nameIn(const QStringList &names, const QString &name)
{
    for (const QString &candidate : names)
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return candidate;
    return {};
}

FieldDef fieldFromColumn(const QString &name, const QString &declared, bool notNull,
                         bool rowIdAlias)
{
    FieldDef field;
    field.name = name;
    field.required = notNull;
    const QString type = declared.trimmed().toUpper();
    if (type.startsWith(QLatin1String("VARCHAR("))) {
        field.type = FieldType::String;
        field.size = type.mid(8).chopped(1).toInt();
    } else if (type == QLatin1String("INTEGER")) {
        field.type = rowIdAlias ? FieldType::AutoInc : FieldType::Integer;
        field.required = field.required || rowIdAlias;
    } else if (type == QLatin1String("TEXT")) {
        field.type = FieldType::Memo;
    } else if (type == QLatin1String("BLOB")) {
        field.type = FieldType::Blob;
    }
    return field;
}

struct ColumnInfo
{
    QString name;
    bool integerKey = false;
};

QVector<ColumnInfo> columnsOf(sqlite3 *db, const QString &schema, const QString &table)
{
    SqliteStatement info(
        db, QStringLiteral("PRAGMA %1.table_info(%2)").arg(quoted(schema), quoted(table)));
    QVector<ColumnInfo> columns;
    while (info.step())
        columns.append(
            {info.columnText(1),
             info.columnInt64(5) == 1 &&
                 info.columnText(2).compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0});
    return columns;
}

} // namespace

TableLayout TableLayout::read(sqlite3 *db, const QString &schema)
{
    SqliteStatement objects(db, QStringLiteral("SELECT type, name FROM %1.sqlite_master WHERE "
                                               "type IN ('table','view') AND name NOT LIKE "
                                               "'sqlite\\_%' ESCAPE '\\' ORDER BY rowid")
                                    .arg(quoted(schema)));
    QStringList tables, views;
    while (objects.step())
        (objects.columnText(0) == QLatin1String("view") ? views : tables) << objects.columnText(1);
    TableLayout layout;
    for (const QString &view : views) {
        const QString records = nameIn(tables, view + kRecordSuffix);
        if (records.isEmpty())
            continue;
        layout.table = view;
        layout.recordTable = records;
        layout.countTable = nameIn(tables, view + kCountSuffix);
        QStringList recordColumns;
        for (const ColumnInfo &column : columnsOf(db, schema, records)) {
            recordColumns << column.name;
            if (column.integerKey)
                layout.rowIdName = column.name;
        }
        for (const ColumnInfo &column : columnsOf(db, schema, view)) {
            const QString holder = nameIn(tables, apartTableName(view, column.name));
            if (!recordColumns.contains(column.name, Qt::CaseInsensitive) && !holder.isEmpty())
                layout.apart.insert(column.name.toUpper(), holder);
        }
        return layout;
    }
    if (tables.isEmpty())
        throw EngineError(QStringLiteral("the file holds no table."));
    layout.table = layout.recordTable = tables.first();
    return layout;
}

TableLayout TableLayout::forNew(const QString &table, const QVector<FieldDef> &fields)
{
    TableLayout layout;
    layout.table = layout.recordTable = table;
    QString key;
    for (const FieldDef &field : fields)
        if (field.type == FieldType::AutoInc)
            key = field.name;
    if (key.isEmpty())
        return layout;
    for (const FieldDef &field : fields)
        if (field.type == FieldType::Blob)
            layout.apart.insert(field.name.toUpper(), apartTableName(table, field.name));
    if (!layout.apart.isEmpty()) {
        layout.recordTable = table + kRecordSuffix;
        layout.countTable = table + kCountSuffix;
        layout.rowIdName = key;
    }
    return layout;
}

QVector<FieldDef> TableLayout::readFields(sqlite3 *db, const QString &schema) const
{
    const QString s = quoted(schema);
    struct Column
    {
        QString type;
        bool notNull;
        int pk;
    };
    // The columns of the SQLite tables that hold the fields, by upper-case name; a view's
    // own columns carry no constraints, so the parts are asked.
    QHash<QString, Column> stored;
    int keyColumns = 0; // of the records' primary key
    const auto readColumns = [&](const QString &holder) {
        SqliteStatement info(db, QStringLiteral("PRAGMA %1.table_info(%2)").arg(s, quoted(holder)));
        while (info.step()) {
            const QString name = info.columnText(1);
            const int pk = holder == recordTable ? int(info.columnInt64(5)) : 0;
            keyColumns += pk > 0 ? 1 : 0;
            if (holder == recordTable || apart.value(name.toUpper()) == holder)
                stored.insert(name.toUpper(), {info.columnText(2), info.columnInt64(3) != 0, pk});
        }
    };
    readColumns(recordTable);
    for (const QString &holder : apart)
        readColumns(holder);

    QVector<FieldDef> fields;
    SqliteStatement names(db, QStringLiteral("PRAGMA %1.table_info(%2)").arg(s, quoted(table)));
    while (names.step()) {
        const QString name = names.columnText(1);
        const Column column = stored.value(name.toUpper(), {names.columnText(2), false, 0});
        const bool rowIdAlias =
            column.pk == 1 && keyColumns == 1 &&
            column.type.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0;
        fields.append(fieldFromColumn(name, column.type, column.notNull, rowIdAlias));
    }
    return fields;
}

QString TableLayout::columnDefinition(const FieldDef &field)
{
    QString sql = quoted(field.name) + QLatin1Char(' ');
    switch (field.type) {
    case FieldType::String:
        sql += QStringLiteral("VARCHAR(%1)").arg(field.size);
        break;
    case FieldType::AutoInc:
        return sql + QLatin1String("INTEGER PRIMARY KEY AUTOINCREMENT");
    case FieldType::Integer:
        sql += QLatin1String("INTEGER");
        break;
    case FieldType::Memo:
        sql += QLatin1String("TEXT");
        break;
    case FieldType::Blob:
    case FieldType::Unknown:
        sql += QLatin1String("BLOB");
        break;
    }
    if (field.required)
        sql += QLatin1String(" NOT NULL");
    return sql;
}

QStringList TableLayout::createStatements(const QString &schema,
                                          const QVector<FieldDef> &fields) const
{
    const QString s = quoted(schema) + QLatin1Char('.');
    QStringList recordColumns, recordNames;
    for (const FieldDef &field : fields)
        if (!apart.contains(field.name.toUpper())) {
            recordColumns << columnDefinition(field);
            recordNames << field.name;
        }
    QStringList statements{
        QStringLiteral("CREATE TABLE %1%2(%3)")
            .arg(s, quoted(recordTable), recordColumns.join(QLatin1String(", ")))};
    if (!split())
        return statements;

    // The view: every column in the table's order, each blob from its own table.
    const QString key = quoted(rowIdName);
    QStringList selected, joins;
    QStringList insertBlobs, updateBlobs, deleteBlobs;
    for (const FieldDef &field : fields) {
        const QString column = quoted(field.name);
        const QString holder = apart.value(field.name.toUpper());
        if (holder.isEmpty()) {
            selected << QStringLiteral("r.%1 AS %1").arg(column);
            continue;
        }
        const QString alias = quoted(QStringLiteral("b_") + field.name.toLower());
        const QString holderTable = quoted(holder);
        statements << QStringLiteral("CREATE TABLE %1%2(%3 INTEGER PRIMARY KEY, %4)")
                          .arg(s, holderTable, key, columnDefinition(field));
        selected << QStringLiteral("%1.%2 AS %2").arg(alias, column);
        joins << QStringLiteral("LEFT JOIN %1 AS %2 ON %2.%3=r.%3").arg(holderTable, alias, key);
        // A required blob always has its row, so a null one fails as the field's rule
        // says; an optional one has none while it is null.
        insertBlobs << QStringLiteral("INSERT INTO %1(%2,%3) SELECT last_insert_rowid(), "
                                      "NEW.%3%4;")
                           .arg(holderTable, key, column,
                                field.required
                                    ? QString()
                                    : QStringLiteral(" WHERE NEW.%1 IS NOT NULL").arg(column));
        updateBlobs << QStringLiteral(
                           "DELETE FROM %1 WHERE %2=OLD.%2 AND (NEW.%2 IS NOT OLD.%2%3);")
                           .arg(holderTable, key,
                                field.required ? QString()
                                               : QStringLiteral(" OR NEW.%1 IS NULL").arg(column))
                    << QStringLiteral("INSERT OR REPLACE INTO %1(%2,%3) SELECT NEW.%2, NEW.%3 "
                                      "WHERE (NEW.%3 IS NOT NULL OR %4) AND (NEW.%2 IS NOT "
                                      "OLD.%2 OR NEW.%3 IS NOT OLD.%3);")
                           .arg(holderTable, key, column,
                                field.required ? QStringLiteral("1") : QStringLiteral("0"));
        deleteBlobs << QStringLiteral("DELETE FROM %1 WHERE %2=OLD.%2;").arg(holderTable, key);
    }
    const QString view = quoted(table);
    const QString records = quoted(recordTable);
    const QString count = quoted(countTable);
    statements << QStringLiteral("CREATE TABLE %1%2(n INTEGER NOT NULL)").arg(s, count)
               << QStringLiteral("INSERT INTO %1%2 VALUES(0)").arg(s, count)
               << QStringLiteral(
                      "CREATE TRIGGER %1%2 AFTER INSERT ON %3 BEGIN UPDATE %4 SET n=n+1; "
                      "END")
                      .arg(s, quoted(countTable + QLatin1String("_up")), records, count)
               << QStringLiteral(
                      "CREATE TRIGGER %1%2 AFTER DELETE ON %3 BEGIN UPDATE %4 SET n=n-1; "
                      "END")
                      .arg(s, quoted(countTable + QLatin1String("_down")), records, count);
    statements << QStringLiteral("CREATE VIEW %1%2 AS SELECT %3 FROM %4 AS r %5")
                      .arg(s, view, selected.join(QLatin1String(", ")), records,
                           joins.join(QLatin1Char(' ')));
    QStringList assignments;
    for (const QString &name : recordNames)
        assignments << QStringLiteral("%1=NEW.%1").arg(quoted(name));
    statements
        << QStringLiteral("CREATE TRIGGER %1%2 INSTEAD OF INSERT ON %3 BEGIN INSERT INTO %4(%5) "
                          "VALUES(%6); %7 END")
               .arg(s, quoted(table + QLatin1String("_insert")), view, records,
                    quotedList(recordNames), quotedList(recordNames, QStringLiteral("NEW.")),
                    insertBlobs.join(QLatin1Char(' ')))
        // The blobs' rows follow a changed key before the record takes it.
        << QStringLiteral("CREATE TRIGGER %1%2 INSTEAD OF UPDATE ON %3 BEGIN %4 UPDATE %5 SET "
                          "%6 WHERE %7=OLD.%7; END")
               .arg(s, quoted(table + QLatin1String("_update")), view,
                    updateBlobs.join(QLatin1Char(' ')), records, assignments.join(QLatin1Char(',')),
                    key)
        << QStringLiteral("CREATE TRIGGER %1%2 INSTEAD OF DELETE ON %3 BEGIN %4 DELETE FROM %5 "
                          "WHERE %6=OLD.%6; END")
               .arg(s, quoted(table + QLatin1String("_delete")), view,
                    deleteBlobs.join(QLatin1Char(' ')), records, key);
    return statements;
}

} // namespace pictavo
