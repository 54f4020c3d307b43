#include "support/keyword_db.h"

#include "db/query.h"

#include <QDir>
#include <QtTest>
#include <sqlite3.h>

namespace pictavo::test {

namespace {

// Runs the statement once per row of bindings, inside one transaction; a blob, when
// given, is bound after each row's texts.
void runForEach(const QString &file, const char *sql, const QList<QStringList> &rows,
                const QByteArray &blob = QByteArray())
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK)
        qFatal("cannot open %s", qPrintable(file));
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
        qFatal("%s: %s", sql, sqlite3_errmsg(db));
    for (const QStringList &values : rows) {
        for (int i = 0; i < values.size(); ++i) {
            const QByteArray text = values[i].toUtf8();
            sqlite3_bind_text(statement, i + 1, text.constData(), int(text.size()),
                              SQLITE_TRANSIENT);
        }
        if (!blob.isNull())
            sqlite3_bind_blob(statement, int(values.size()) + 1, blob.constData(), int(blob.size()),
                              SQLITE_STATIC);
        if (sqlite3_step(statement) != SQLITE_DONE)
            qFatal("%s: %s", sql, sqlite3_errmsg(db));
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        qFatal("commit: %s", sqlite3_errmsg(db));
    sqlite3_close(db);
}

} // namespace

void writeKeywordStrings(const QString &dir, const QStringList &keywordStrings,
                         const QByteArray &photo)
{
    QList<QStringList> rows;
    for (int i = 0; i < keywordStrings.size(); ++i)
        rows << QStringList{QStringLiteral("n%1").arg(i), keywordStrings[i]};
    runForEach(QDir(dir).filePath(QStringLiteral("photodb.db")),
               "INSERT INTO photodb (PREFIX, NAME, EXT, KEYWORD, COUNT, IMAGE_SIZE, IMAGE) "
               "VALUES ('p', ?1, '.jpg', ?2, 0, length(?3), ?3)",
               rows, photo);
}

void writeKeywordRows(const QString &dir, const QStringList &rows)
{
    QList<QStringList> values;
    for (const QString &row : rows)
        values << row.split(QLatin1Char('|'));
    runForEach(QDir(dir).filePath(QStringLiteral("keyword.db")),
               "INSERT INTO keyword (KEYWORD, COUNT) VALUES (?, CAST(? AS INTEGER))", values);
}

void refuseKeyword(const QString &dir, const QString &keyword, const QString &text)
{
    runForEach(QDir(dir).filePath(QStringLiteral("keyword.db")), "DROP TRIGGER IF EXISTS refuse",
               {{}});
    if (keyword.isEmpty())
        return;
    QString escapedText = text;
    escapedText.replace(QLatin1Char('\''), QLatin1String("''"));
    const QByteArray sql =
        QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON keyword "
                       "WHEN NEW.KEYWORD = ? BEGIN SELECT RAISE(ABORT, '%1'); END")
            .arg(escapedText)
            .toUtf8();
    // A trigger takes no parameters: the keyword goes in as a literal.
    QString literal = keyword;
    literal.replace(QLatin1Char('\''), QLatin1String("''"));
    QByteArray statement = sql;
    statement.replace("?", ("'" + literal + "'").toUtf8());
    runForEach(QDir(dir).filePath(QStringLiteral("keyword.db")), statement.constData(), {{}});
}

QStringList keywordRows(const QString &dir)
{
    // Through the engine, as every window reads the table: in its key order.
    Query query;
    query.setDatabaseName(dir);
    query.setSql({QStringLiteral("select * from KEYWORD.DB;")});
    query.open();
    QStringList rows;
    for (query.first(); !query.eof(); query.next())
        rows << query.asString(QStringLiteral("KEYWORD")) + QLatin1Char('|') +
                    query.asString(QStringLiteral("COUNT"));
    return rows;
}

} // namespace pictavo::test
