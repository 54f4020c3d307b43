#include "keyword/keyword_rebuild.h"

#include "db/database.h"
#include "db/engine_error.h"
#include "db/schema.h"
#include "db/sqlite_statement.h"
#include "db/sqlite_transaction.h"

#include <sqlite3.h>

#include <algorithm>

namespace pictavo {

namespace {

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

// The first maxChars characters: a character starts at every byte that is not a
// continuation byte (10xxxxxx). No declared size (0) means no limit, as in the engine.
std::string_view firstCharacters(std::string_view text, int maxChars)
{
    if (maxChars <= 0)
        return text;
    int chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;
        if (chars == maxChars)
            return text.substr(0, i);
        ++chars;
    }
    return text;
}

// Reports a phase's positions about a hundred times in all, and always its last one.
class PhaseSteps
{
public:
    PhaseSteps(RebuildProgress *progress, RebuildProgress::Phase phase, std::int64_t steps)
        : m_progress(progress), m_phase(phase), m_steps(steps),
          m_every(std::max<std::int64_t>(1, (steps + 99) / 100))
    {
        if (m_progress)
            m_progress->setRange(m_phase, int(steps));
    }
    void reached(std::int64_t position)
    {
        if (m_progress && (position % m_every == 0 || position == m_steps))
            m_progress->setPosition(m_phase, int(position));
    }

private:
    RebuildProgress *m_progress;
    RebuildProgress::Phase m_phase;
    std::int64_t m_steps;
    std::int64_t m_every;
};

std::string_view columnUtf8(sqlite3_stmt *statement, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return text ? std::string_view(text, std::size_t(sqlite3_column_bytes(statement, column)))
                : std::string_view();
}

int keywordFieldSize(const Database::TableFile &keywordTable)
{
    const int field = keywordTable.info.fieldIndex(QStringLiteral("KEYWORD"));
    if (field < 0)
        throw EngineError(QStringLiteral("Field 'KEYWORD' not found."));
    const FieldDef &def = keywordTable.info.fields[field];
    // A keyword is known by as many characters as the field holds; one without a
    // declared size keeps them all.
    return def.type == FieldType::String ? def.size : 0;
}

} // namespace

KeywordTally::KeywordTally(int keywordSize) : m_keywordSize(keywordSize) {}

void KeywordTally::addKeywordString(std::string_view remaining)
{
    // The keyword loop with ExtractKeyword: while the remaining text is not empty, trim it
    // at both ends, then take what stands before the first separator (all of it when
    // there is none) and drop that and the separator.
    while (!remaining.empty()) {
        while (!remaining.empty() && isBlank(remaining.front()))
            remaining.remove_prefix(1);
        while (!remaining.empty() && isBlank(remaining.back()))
            remaining.remove_suffix(1);
        std::string_view keyword = remaining;
        const std::size_t separator = remaining.find(',');
        if (separator == std::string_view::npos) {
            remaining = {};
        } else {
            keyword = remaining.substr(0, separator);
            remaining.remove_prefix(separator + 1);
        }
        if (keyword.empty())
            continue;
        keyword = firstCharacters(keyword, m_keywordSize);
        ++m_occurrences;
        const auto found = m_counts.find(keyword);
        if (found != m_counts.end())
            ++found->second;
        else
            m_counts.emplace(std::string(keyword), 1);
    }
}

std::vector<KeywordTally::Entry> KeywordTally::sortedEntries() const
{
    std::vector<Entry> entries;
    entries.reserve(m_counts.size());
    for (const auto &[keyword, count] : m_counts)
        entries.push_back({keyword, count});
    // std::string compares as unsigned bytes, which is SQLite's BINARY order of UTF-8.
    std::sort(entries.begin(), entries.end(),
              [](const Entry &a, const Entry &b) { return a.keyword < b.keyword; });
    return entries;
}

RebuildResult rebuildKeywordTable(const QString &directory, RebuildProgress *progress)
{
    const std::shared_ptr<Database> database = Database::forDirectory(directory);
    // Both tables first: a folder without them is no photo database, and nothing in it
    // (a work.db of the user's own) may be deleted.
    const Database::TableFile photos = database->attach(schema::kPhotoTableFile);
    const Database::TableFile keywords = database->attach(schema::kKeywordTableFile);
    if (keywords.readOnly)
        throw EngineError(readOnlyLibraryText(database->directory()));
    if (database->tableExists(schema::kWorkTableFile))
        database->deleteTable(schema::kWorkTableFile);
    const QString photoTable =
        quoted(photos.schema) + QLatin1Char('.') + quoted(photos.layout.recordTable);
    const QString keywordTable =
        quoted(keywords.schema) + QLatin1Char('.') + quoted(keywords.table);
    sqlite3 *db = database->handle();

    // One transaction from the first read to the last write: the counts are those of one
    // state of the Photo Table, and the old rows stay until the new ones are all written.
    SqliteTransaction transaction(db);
    KeywordTally tally(keywordFieldSize(keywords));
    {
        SqliteStatement count(db, QStringLiteral("SELECT count(*) FROM %1").arg(photoTable));
        count.step();
        PhaseSteps extracting(progress, RebuildProgress::Extracting, count.columnInt64(0));
        count.reset();
        SqliteStatement read(db, QStringLiteral("SELECT \"KEYWORD\" FROM %1").arg(photoTable));
        std::int64_t record = 0;
        while (read.step()) {
            tally.addKeywordString(columnUtf8(read.handle(), 0));
            extracting.reached(++record);
        }
    }

    std::vector<KeywordTally::Entry> entries;
    {
        PhaseSteps copying(progress, RebuildProgress::Copying, tally.distinct());
        entries = tally.sortedEntries();
        copying.reached(std::int64_t(entries.size()));
    }

    {
        PhaseSteps counting(progress, RebuildProgress::Counting, std::int64_t(entries.size()));
        execSql(db, QStringLiteral("DELETE FROM %1").arg(keywordTable));
        SqliteStatement insert(
            db, QStringLiteral("INSERT INTO %1 (\"KEYWORD\", \"COUNT\") VALUES (?, ?)")
                    .arg(keywordTable));
        std::int64_t written = 0;
        for (const KeywordTally::Entry &entry : entries) {
            if (sqlite3_bind_text(insert.handle(), 1, entry.keyword.data(),
                                  int(entry.keyword.size()), SQLITE_STATIC) != SQLITE_OK ||
                sqlite3_bind_int64(insert.handle(), 2, entry.count) != SQLITE_OK)
                throwSqliteError(db);
            insert.step();
            insert.reset();
            counting.reached(++written);
        }
    }
    transaction.commit();
    return {tally.distinct(), tally.occurrences()};
}

} // namespace pictavo
