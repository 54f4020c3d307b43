#include "db/database.h"
#include "db/query.h"
#include "support/photo_db_fixture.h"

#include <QRandomGenerator>
#include <QtTest>
#include <sqlite3.h>

#include <algorithm>
#include <set>

using namespace pictavo;
using pictavo::test::PhotoDbFixture;

namespace {

struct Record
{
    qint64 serial = 0;
    QString prefix, name, ext, keyword;
};

// The key columns a statement may sort on, as their values of a record.
enum Key
{
    Prefix,
    Name,
    Ext,
    Serial
};

QVariant keyOf(const Record &r, Key key)
{
    switch (key) {
    case Prefix:
        return r.prefix;
    case Name:
        return r.name;
    case Ext:
        return r.ext;
    case Serial:
        return r.serial;
    }
    return {};
}

int compare(const QVariant &a, const QVariant &b)
{
    if (a.typeId() == QMetaType::QString)
        return a.toString().compare(b.toString(), Qt::CaseSensitive);
    return a.toLongLong() < b.toLongLong() ? -1 : (a.toLongLong() > b.toLongLong() ? 1 : 0);
}

struct OrderTerm
{
    Key key;
    bool desc;
};

// A select list, and how its ORDER BY may name each key column: by name, alias or
// position.
struct SelectList
{
    QString text;
    QStringList ways[4];
};

const SelectList kSelectLists[] = {
    {QStringLiteral("*"), {{"PREFIX", "1"}, {"NAME", "2"}, {"EXT", "3"}, {"SERIAL", "4"}}},
    {QStringLiteral("NAME, PREFIX, SERIAL"),
     {{"PREFIX", "2"}, {"NAME", "1"}, {"EXT"}, {"SERIAL", "3"}}},
    {QStringLiteral("SERIAL, KEYWORD, NAME AS N, IMAGE"),
     {{"PREFIX"}, {"N", "3", "NAME"}, {"EXT"}, {"SERIAL", "1"}}},
    {QStringLiteral("EXT E, length(NAME) AS L, PREFIX, SERIAL, MEMO"),
     {{"PREFIX", "3"}, {"NAME"}, {"E", "1", "EXT"}, {"SERIAL", "4"}}},
};

// One file page of a table file: the pages of a B-tree as SQLite's dbstat counts them.
int pagesOf(const QString &path, const char *btree, const char *pageType = nullptr)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = nullptr;
    const QByteArray sql = QByteArray("SELECT count(*) FROM dbstat WHERE name=?1") +
                           (pageType ? QByteArray(" AND pagetype=?2") : QByteArray());
    sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr);
    sqlite3_bind_text(stmt, 1, btree, -1, SQLITE_STATIC);
    if (pageType)
        sqlite3_bind_text(stmt, 2, pageType, -1, SQLITE_STATIC);
    const int pages = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return pages;
}

int cacheMisses(sqlite3 *db)
{
    int current = 0;
    int highest = 0;
    sqlite3_db_status(db, SQLITE_DBSTATUS_CACHE_MISS, &current, &highest, 0);
    return current;
}

// Pages the engine reads from the table files to open the statement and count its
// records, on a connection of its own (nothing in its page cache yet). The query is
// left open in `query`.
int pagesToOpen(const QString &dir, const QStringList &sql, Query &query,
                std::shared_ptr<Database> &database)
{
    database = Database::forDirectory(dir);
    const int before = cacheMisses(database->handle());
    query.setDatabaseName(dir);
    query.setSql(sql);
    query.open();
    query.recordCount();
    return cacheMisses(database->handle()) - before;
}

struct Opened
{
    int pages = 0; // read to open and count
    QVector<qint64> serials;
};

// Opens the statement and reads the SERIAL of every row, counting the pages read for each.
Opened openAndRead(const QString &dir, const QString &sql)
{
    std::shared_ptr<Database> database;
    Query query;
    Opened opened;
    opened.pages = pagesToOpen(dir, {sql}, query, database);
    const int serialField = query.fieldNumber(QStringLiteral("SERIAL"));
    for (int row = 0; row < query.recordCount(); ++row)
        opened.serials << query.valueAt(row, serialField).toLongLong();
    return opened;
}

} // namespace

// A live query lists its records from an index where its clauses allow: opening it reads
// the index, not the records, which are read one by one as their fields are asked for.
class TestEnginePages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void randomStatementsOpenFromTheIndex();

private:
    PhotoDbFixture m_library;
    PhotoDbFixture m_empty;

    QVector<Record> m_records;
};

// 300 records of 7 to 12 KB photos, so that each record's own page is one of few records
// and reading the records cannot pass for reading the index.
void TestEnginePages::initTestCase()
{
    QVERIFY(m_library.valid() && m_empty.valid());
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2((m_library.dir() + QStringLiteral("/photodb.db")).toUtf8().constData(),
                             &db, SQLITE_OPEN_READWRITE, nullptr),
             SQLITE_OK);
    sqlite3_stmt *insert = nullptr;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db,
                       "INSERT INTO photodb (PREFIX, NAME, EXT, KEYWORD, \"COUNT\", IMAGE_SIZE, "
                       "IMAGE) VALUES (?, ?, ?, ?, 0, ?, ?)",
                       -1, &insert, nullptr);
    QRandomGenerator random(1508);
    const QStringList prefixes{"IMG", "DSC", "DSCN", "P", "PICT", "_MG"};
    const QStringList words{"sea", "girl", "sky", "seaside", "cat"};
    for (int i = 0; i < 300; ++i) {
        Record r;
        r.prefix = prefixes[random.bounded(prefixes.size())];
        r.name = QString::number(random.bounded(3000));
        r.ext = random.bounded(4) == 0 ? QStringLiteral(".JPG") : QStringLiteral(".jpg");
        r.keyword = words[random.bounded(words.size())] + QLatin1Char(',') +
                    words[random.bounded(words.size())];
        QByteArray image(7000 + random.bounded(5000), '\0');
        for (char &c : image)
            c = char(random.bounded(256));
        const QByteArray p = r.prefix.toUtf8(), n = r.name.toUtf8(), e = r.ext.toUtf8(),
                         k = r.keyword.toUtf8();
        sqlite3_bind_text(insert, 1, p.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, n.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, e.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, k.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 5, image.size());
        sqlite3_bind_blob(insert, 6, image.constData(), int(image.size()), SQLITE_TRANSIENT);
        QCOMPARE(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_reset(insert);
        // Added through a view's trigger, which keeps its row id to itself.
        sqlite3_stmt *last = nullptr;
        sqlite3_prepare_v2(db, "SELECT max(SERIAL) FROM photodb", -1, &last, nullptr);
        QCOMPARE(sqlite3_step(last), SQLITE_ROW);
        r.serial = sqlite3_column_int64(last, 0);
        sqlite3_finalize(last);
        m_records << r;
    }
    sqlite3_finalize(insert);
    QCOMPARE(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

// Random statements over the key columns and the Keyword String (select lists with and
// without aliases and photos; WHERE on prefix, name, extension and keywords; ORDER BY by
// name, alias and position): each selects and orders the records as a direct check over
// the stored ones does; and opening it reads no more pages than the empty library's
// opening plus the records' own table or index, none of the photos'.
void TestEnginePages::randomStatementsOpenFromTheIndex()
{
    const QString photoFile = m_library.dir() + QStringLiteral("/photodb.db");
    // The records' own table and their index; never the photos'.
    const int indexPages = pagesOf(photoFile, "primary_key") + pagesOf(photoFile, "photodb_record");
    const int photoPages = pagesOf(photoFile, "photodb_image", "leaf");
    QVERIFY2(indexPages > 0 && photoPages > 5 * indexPages,
             qPrintable(QStringLiteral("index %1, photos %2").arg(indexPages).arg(photoPages)));

    QRandomGenerator random(20261208);
    const QStringList prefixTerms{"IMG", "DSC", "P", "Img", "_"};
    const QStringList keywordTerms{"sea", "side", "Sea", "at", "girl,s"};
    for (int round = 0; round < 60; ++round) {
        const SelectList &list = kSelectLists[random.bounded(int(std::size(kSelectLists)))];
        // WHERE: up to three terms joined alike, each perhaps negated.
        QStringList terms;
        QVector<std::function<bool(const Record &)>> tests;
        for (int t = random.bounded(4); t > 0; --t) {
            QString term;
            std::function<bool(const Record &)> test;
            switch (random.bounded(4)) {
            case 0: {
                const QString p = prefixTerms[random.bounded(prefixTerms.size())];
                term = QStringLiteral("PREFIX LIKE \"%1%\"").arg(p);
                // "_" matches any one character.
                test = [p](const Record &r) {
                    return p == QLatin1String("_") ? !r.prefix.isEmpty() : r.prefix.startsWith(p);
                };
                break;
            }
            case 1: {
                const QString n = QString::number(1 + random.bounded(29));
                term = QStringLiteral("NAME LIKE \"%1%\"").arg(n);
                test = [n](const Record &r) { return r.name.startsWith(n); };
                break;
            }
            case 2: {
                const QString k = keywordTerms[random.bounded(keywordTerms.size())];
                term = QStringLiteral("KEYWORD LIKE \"%%1%\"").arg(k);
                test = [k](const Record &r) { return r.keyword.contains(k); };
                break;
            }
            default:
                term = QStringLiteral("EXT = \".JPG\"");
                test = [](const Record &r) { return r.ext == QLatin1String(".JPG"); };
            }
            if (random.bounded(3) == 0) {
                term = QStringLiteral("NOT(%1)").arg(term);
                test = [test](const Record &r) { return !test(r); };
            }
            terms << term;
            tests << test;
        }
        const bool useAnd = random.bounded(2) == 0;
        // ORDER BY: none (the primary index's order), or one or two key columns.
        QVector<OrderTerm> order;
        QStringList orderTexts;
        for (int t = random.bounded(3); t > 0; --t) {
            // Not SERIAL: ordered by the row id, SQLite walks the table itself.
            const Key key = Key(random.bounded(3));
            const QStringList &ways = list.ways[key];
            const bool desc = random.bounded(2) == 0;
            order << OrderTerm{key, desc};
            orderTexts << ways[random.bounded(ways.size())] +
                              (desc ? QStringLiteral(" DESC") : QString());
        }
        QString sql = QStringLiteral("select %1 from PHOTODB.DB").arg(list.text);
        if (!terms.isEmpty())
            sql += QStringLiteral(" where ") + terms.join(useAnd ? " AND " : " OR ");
        if (!orderTexts.isEmpty())
            sql += QStringLiteral(" order by ") + orderTexts.join(QStringLiteral(", "));
        sql += QStringLiteral(" ;");

        const Opened empty = openAndRead(m_empty.dir(), sql);
        const Opened opened = openAndRead(m_library.dir(), sql);
        QVERIFY2(opened.pages <= empty.pages + indexPages,
                 qPrintable(QStringLiteral("%1\nread %2 pages; the empty library %3, the index %4")
                                .arg(sql)
                                .arg(opened.pages)
                                .arg(empty.pages)
                                .arg(indexPages)));

        QVector<Record> expected;
        for (const Record &r : m_records) {
            bool in = terms.isEmpty() || useAnd;
            for (const auto &test : tests)
                in = useAnd ? (in && test(r)) : (in || test(r));
            if (in)
                expected << r;
        }
        std::sort(expected.begin(), expected.end(), [](const Record &a, const Record &b) {
            for (Key key : {Prefix, Name, Ext, Serial})
                if (const int c = compare(keyOf(a, key), keyOf(b, key)))
                    return c < 0;
            return false;
        });
        for (const Opened *result : {&opened}) {
            QVector<Record> got;
            for (qint64 serial : result->serials) {
                const auto found =
                    std::find_if(m_records.begin(), m_records.end(),
                                 [&](const Record &r) { return r.serial == serial; });
                QVERIFY2(found != m_records.end(), qPrintable(sql));
                got << *found;
            }
            QCOMPARE(got.size(), expected.size());
            if (order.isEmpty()) {
                for (int i = 0; i < got.size(); ++i)
                    QVERIFY2(got[i].serial == expected[i].serial,
                             qPrintable(QStringLiteral("%1\nrow %2").arg(sql).arg(i)));
                continue;
            }
            std::set<qint64> want, have;
            for (const Record &r : expected)
                want.insert(r.serial);
            for (const Record &r : got)
                have.insert(r.serial);
            QVERIFY2(want == have, qPrintable(sql));
            for (int i = 1; i < got.size(); ++i) {
                int c = 0;
                for (const OrderTerm &term : order) {
                    c = compare(keyOf(got[i - 1], term.key), keyOf(got[i], term.key));
                    c = term.desc ? -c : c;
                    if (c != 0)
                        break;
                }
                QVERIFY2(
                    c <= 0,
                    qPrintable(
                        QStringLiteral("%1\nrows %2, %3 out of order").arg(sql).arg(i - 1).arg(i)));
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestEnginePages)
#include "tst_engine_pages.moc"
