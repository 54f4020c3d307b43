#include "db/table.h"

#include "db/database.h"
#include "db/engine_error.h"
#include "db/sqlite_statement.h"
#include "db/text_rules.h"

namespace pictavo {

void Table::setTableName(const QString &fileName)
{
    requireClosed();
    m_tableName = fileName;
}

QString Table::statementText() const
{
    return QStringLiteral("select * from ") + quoted(m_tableName);
}

bool Table::findKey(const QVariantList &values)
{
    requireActive();
    checkBrowseMode();
    const Database::TableFile &base = plan().base;
    const QStringList &key = base.info.primaryKey;
    if (key.isEmpty())
        throw EngineError(QStringLiteral("Table \"%1\" has no primary index.").arg(m_tableName));
    QStringList conditions;
    for (int i = 0; i < values.size() && i < key.size(); ++i)
        conditions << QStringLiteral("\"%1\"=?").arg(key[i]);
    SqliteStatement statement(
        database().handle(),
        QStringLiteral("SELECT rowid FROM \"%1\".\"%2\" WHERE %3 LIMIT 1")
            .arg(base.schema, base.layout.recordTable, conditions.join(QLatin1String(" AND "))));
    for (int i = 0; i < conditions.size(); ++i) {
        const FieldDef &def = base.info.fields[base.info.fieldIndex(key[i])];
        QVariant value = values[i];
        if (def.type == FieldType::String)
            value = cutToCharacters(value.toString(), def.size);
        statement.bind(i + 1, value);
    }
    if (!statement.step())
        return false;
    const qint64 rowId = statement.columnInt64(0);
    statement.reset();
    int row = rowOfRowId(rowId);
    if (row < 0) { // written by another data set since this one was opened
        refresh();
        row = rowOfRowId(rowId);
    }
    if (row < 0)
        return false;
    moveTo(row);
    return true;
}

void Table::createTable(const QVector<FieldDef> &fields, const QVector<IndexDef> &indexes)
{
    requireClosed();
    Database::forDirectory(databaseName())->createTable(m_tableName, fields, indexes);
}

void Table::deleteTable()
{
    requireClosed();
    Database::forDirectory(databaseName())->deleteTable(m_tableName);
}

void Table::emptyTable()
{
    const bool wasOpen = active();
    close();
    Database::forDirectory(databaseName())->emptyTable(m_tableName);
    if (wasOpen)
        open();
}

bool Table::exists() const
{
    return Database::forDirectory(databaseName())->tableExists(m_tableName);
}

} // namespace pictavo
