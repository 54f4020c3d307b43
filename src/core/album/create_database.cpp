#include "album/create_database.h"

#include "base/prompter.h"
#include "db/database.h"
#include "db/engine_error.h"
#include "db/schema.h"
#include "db/table.h"

namespace pictavo {

namespace {

bool createTable(const QString &directory, const QString &fileName, const QVector<FieldDef> &fields,
                 const QVector<IndexDef> &indexes, Prompter &prompter)
{
    Table tableNew;
    tableNew.setDatabaseName(directory);
    tableNew.setTableName(fileName);
    try {
        tableNew.createTable(fields, indexes);
    } catch (const EngineError &) {
        prompter.warning(QStringLiteral("Could not create \"%1\".").arg(fileName));
        return false;
    }
    prompter.information(QStringLiteral("Created \"%1\".").arg(fileName));
    return true;
}

} // namespace

bool CreateDatabase(const QString &directory, Prompter &prompter)
{
    const auto database = Database::forDirectory(directory);
    if (database->tableExists(schema::kPhotoTableFile)) {
        prompter.warning(QStringLiteral("Photo table is already existed."));
        return false;
    }
    if (database->tableExists(schema::kKeywordTableFile)) {
        prompter.warning(QStringLiteral("Keyword table is already existed."));
        return false;
    }
    return createTable(directory, schema::kPhotoTableFile, schema::photoFields(),
                       schema::photoIndexes(), prompter) &&
           createTable(directory, schema::kKeywordTableFile, schema::keywordFields(),
                       schema::keywordIndexes(), prompter);
}

} // namespace pictavo
