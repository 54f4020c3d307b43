#include "keyword/keyword_replace.h"

#include "db/database.h"
#include "db/engine_error.h"
#include "db/sqlite_statement.h"
#include "db/sqlite_transaction.h"
#include "db/text_rules.h"

#include <sqlite3.h>
#include <utility>
#include <vector>

namespace pictavo {

namespace {

const QString kPhotoTable = QStringLiteral("PHOTODB.DB");
const QString kKeywordField = QStringLiteral("KEYWORD");

int keywordFieldSize(const Database::TableFile &file)
{
    for (const FieldDef &field : file.info.fields)
        if (field.name.compare(kKeywordField, Qt::CaseInsensitive) == 0)
            return field.size;
    throw EngineError(QStringLiteral("Field '%1' not found.").arg(kKeywordField));
}

} // namespace

QString replaceFirstOccurrence(const QString &keywordString, const QString &oldText,
                               const QString &newText)
{
    const qsizetype at = keywordString.indexOf(oldText, 0, Qt::CaseSensitive);
    if (at < 0 || oldText.isEmpty())
        return keywordString;
    QString result = keywordString;
    result.replace(at, oldText.size(), newText);
    return result;
}

KeywordReplaceResult replaceKeywordInPhotoTable(const QString &directory, const QString &oldText,
                                                const QString &newText,
                                                const std::function<void(int)> &progress)
{
    if (oldText.isEmpty())
        throw Error(QStringLiteral("Old Keyword is empty."));
    if (newText.isEmpty())
        throw Error(QStringLiteral("New Keyword is empty."));
    const std::shared_ptr<Database> database = Database::forDirectory(directory);
    const Database::TableFile &file = database->attach(kPhotoTable);
    if (file.readOnly)
        throw EngineError(readOnlyLibraryText(database->directory()));
    const int fieldSize = keywordFieldSize(file);
    const QString table = quoted(file.schema) + QLatin1Char('.') + quoted(file.layout.recordTable);
    sqlite3 *db = database->handle();

    KeywordReplaceResult result;
    SqliteTransaction transaction(db, SqliteTransaction::Lock::Immediate);
    // Read first, write after: the changes are collected while the records are read (only
    // the row id and KEYWORD, never a photo), then written, so no update runs under an
    // open read of the same table.
    std::vector<std::pair<qint64, QString>> changes;
    {
        SqliteStatement read(
            db, QStringLiteral("SELECT rowid, %1 FROM %2").arg(quoted(kKeywordField), table));
        while (read.step()) {
            ++result.visited;
            if (!read.isNull(1)) {
                const QString before = read.columnText(1);
                // A record without oldText is left exactly as it is, even one whose text
                // is longer than the field (written by another program).
                QString after = replaceFirstOccurrence(before, oldText, newText);
                if (after != before)
                    after = cutToCharacters(after, fieldSize);
                if (after != before)
                    changes.emplace_back(read.columnInt64(0), std::move(after));
            }
            if (progress)
                progress(result.visited);
        }
    }
    SqliteStatement write(
        db, QStringLiteral("UPDATE %1 SET %2=? WHERE rowid=?").arg(table, quoted(kKeywordField)));
    for (const auto &[rowId, keywordString] : changes) {
        write.bind(1, keywordString);
        write.bind(2, rowId);
        write.step();
        write.reset();
    }
    transaction.commit();
    result.changed = int(changes.size());
    return result;
}

} // namespace pictavo
