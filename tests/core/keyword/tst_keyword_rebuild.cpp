#include "db/table.h"
#include "keyword/keyword_rebuild.h"
#include "keyword/keyword_string.h"
#include "support/engine_error_text.h"
#include "support/keyword_db.h"
#include "support/photo_db_fixture.h"

#include <QDir>
#include <QRandomGenerator>
#include <QtTest>
#include <algorithm>
#include <map>

using namespace pictavo;
using namespace pictavo::test;

namespace {

// What a rebuild showed: each phase's range and the positions it was told, in order.
struct ProgressLog : RebuildProgress
{
    std::map<Phase, int> ranges;
    std::map<Phase, QList<int>> positions;
    QList<Phase> order;

    void setRange(Phase phase, int steps) override
    {
        ranges[phase] = steps;
        order << phase;
    }
    void setPosition(Phase phase, int position) override { positions[phase] << position; }
};

bool workTableExists(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("work.db")}, QDir::Files).size() +
               QDir(dir).entryList({QStringLiteral("WORK.DB")}, QDir::Files).size() >
           0;
}

void makeWorkTable(const QString &dir)
{
    Table work;
    work.setDatabaseName(dir);
    work.setTableName(QStringLiteral("work.db"));
    work.createTable({{QStringLiteral("KEYWORD"), FieldType::String, 32, true}}, {});
}

// The count the Keyword Table must hold, straight from the rule: every keyword the keyword
// loop yields, cut to 32 characters, an empty one left out. Rows in the key order, which
// is SQLite's order of the UTF-8 bytes.
QStringList directCount(const QStringList &keywordStrings)
{
    std::map<QByteArray, qint64> counts;
    for (const QString &keywordString : keywordStrings)
        for (const QString &keyword : splitKeywords(keywordString))
            if (!keyword.isEmpty())
                ++counts[cutToCharacters(keyword, 32).toUtf8()];
    QStringList rows;
    for (const auto &[keyword, count] : counts)
        rows << QString::fromUtf8(keyword) + QLatin1Char('|') + QString::number(count);
    return rows;
}

// A Keyword String of the kinds users and imports leave: words in several letter cases,
// blanks and control characters around and inside, empty items, double quotes, Japanese
// and characters outside the BMP, and long words that agree in their first 32 characters.
QString randomKeywordString(QRandomGenerator &random)
{
    static const QStringList pieces{"cat",
                                    "Cat",
                                    "CAT",
                                    "dog",
                                    "sea",
                                    "sky",
                                    "New York",
                                    "*",
                                    "say \"hi\"",
                                    "\"",
                                    QStringLiteral("猫"),
                                    QStringLiteral("é"),
                                    QStringLiteral("\U0001F600"),
                                    "%",
                                    "_",
                                    "abcdefghijklmnopqrstuvwxyz012345", // 32 characters
                                    QString(31, QLatin1Char('x')) + QStringLiteral("猫猫"),
                                    QString(20, QChar(0x00E9)),
                                    QStringLiteral("\U0001F600").repeated(20)};
    static const QStringList gaps{",", ",", ",", ", ", " ,", ",,", " ", "\t", "\r\n", "\x01", ""};
    QString text;
    const int items = random.bounded(8);
    for (int i = 0; i < items; ++i) {
        if (random.bounded(4) == 0)
            text += gaps[random.bounded(gaps.size())];
        text += pieces[random.bounded(pieces.size())];
        if (random.bounded(3) == 0)
            text += pieces[random.bounded(pieces.size())];
        text += gaps[random.bounded(gaps.size())];
    }
    return cutToCharacters(text, 255); // what the KEYWORD field can hold
}

} // namespace

class TestKeywordRebuild : public QObject
{
    Q_OBJECT

private slots:
    void rebuild_data();
    void rebuild();
    void generatedStringsAgainstDirectCount();
    void failureLeavesKeywordTableAsItWas();
    void staleWorkTableRemoved();
    void missingTables_data();
    void missingTables();
};

void TestKeywordRebuild::rebuild_data()
{
    QTest::addColumn<QStringList>("keywordStrings");
    QTest::addColumn<QStringList>("oldRows");
    QTest::addColumn<QStringList>("rows");

    const QString a32 = QStringLiteral("abcdefghijklmnopqrstuvwxyz012345");
    const QString ja32 = QStringLiteral("猫").repeated(32);
    QTest::newRow("star, cat and dog in key order")
        << QStringList{"*", "cat,dog", "dog,cat,cat"} << QStringList{}
        << QStringList{"*|1", "cat|3", "dog|2"};
    QTest::newRow("hand-set counts replaced, keywords of no photo gone")
        << QStringList{"sky,sea", "sky"} << QStringList{"sky|99", "tree|5", "sea|0"}
        << QStringList{"sea|1", "sky|2"};
    QTest::newRow("letter case kept apart")
        << QStringList{"Cat,cat", "CAT,cat"} << QStringList{"cat|1"}
        << QStringList{"CAT|1", "Cat|1", "cat|2"};
    QTest::newRow("first 32 characters agree")
        << QStringList{a32 + "one", a32 + "two," + a32, a32.left(31)} << QStringList{}
        << QStringList{a32.left(31) + "|1", a32 + "|3"};
    QTest::newRow("32 characters, not bytes") << QStringList{ja32 + QStringLiteral("犬"), ja32}
                                              << QStringList{} << QStringList{ja32 + "|2"};
    QTest::newRow("empty keyword skipped")
        << QStringList{"sky,,sky", ",sea", "cat, ,", " "} << QStringList{}
        << QStringList{"cat|1", "sea|1", "sky|2"};
    QTest::newRow("double quote counted") << QStringList{"say \"hi\",\"", "say \"hi\""}
                                          << QStringList{} << QStringList{"\"|1", "say \"hi\"|2"};
    QTest::newRow("blanks before a comma stay")
        << QStringList{" cat , dog ", "cat"} << QStringList{}
        << QStringList{"cat|1", "cat |1", "dog|1"};
    QTest::newRow("no photo: table emptied")
        << QStringList{} << QStringList{"sky|3"} << QStringList{};
    QTest::newRow("no keyword in any photo: table emptied")
        << QStringList{"", "  ", ","} << QStringList{"sky|3"} << QStringList{};
}

void TestKeywordRebuild::rebuild()
{
    QFETCH(QStringList, keywordStrings);
    QFETCH(QStringList, oldRows);
    QFETCH(QStringList, rows);
    PhotoDbFixture db;
    writeKeywordStrings(db.dir(), keywordStrings);
    writeKeywordRows(db.dir(), oldRows);

    const RebuildResult result = rebuildKeywordTable(db.dir());
    QCOMPARE(keywordRows(db.dir()), rows);
    QCOMPARE(result.keywords, qint64(rows.size()));
    qint64 occurrences = 0;
    for (const QString &row : rows)
        occurrences += row.section(QLatin1Char('|'), -1).toLongLong();
    QCOMPARE(result.occurrences, occurrences);
    QVERIFY(!workTableExists(db.dir()));
}

// Random Keyword Strings from a fixed seed, over several rebuilds of a growing Photo
// Table whose Keyword Table holds stale rows in between: every rebuild must give the
// direct count, and show each phase from 0 to its end.
void TestKeywordRebuild::generatedStringsAgainstDirectCount()
{
    QRandomGenerator random(20261208);
    PhotoDbFixture db;
    QStringList all;
    for (int round = 0; round < 4; ++round) {
        QStringList added;
        for (int i = 0; i < 400; ++i)
            added << randomKeywordString(random);
        writeKeywordStrings(db.dir(), added);
        all << added;
        if (round > 0) // counts typed by hand and rows no photo carries
            writeKeywordRows(db.dir(), {QStringLiteral("stale%1|7").arg(round)});

        ProgressLog progress;
        const RebuildResult result = rebuildKeywordTable(db.dir(), &progress);
        const QStringList expected = directCount(all);
        QCOMPARE(keywordRows(db.dir()), expected);
        QCOMPARE(result.keywords, qint64(expected.size()));

        using P = RebuildProgress;
        QCOMPARE(progress.order, (QList<P::Phase>{P::Extracting, P::Copying, P::Counting}));
        QCOMPARE(progress.ranges[P::Extracting], int(all.size()));
        QCOMPARE(progress.ranges[P::Copying], int(expected.size()));
        QCOMPARE(progress.ranges[P::Counting], int(expected.size()));
        for (const auto &[phase, positions] : progress.positions) {
            QVERIFY(std::is_sorted(positions.begin(), positions.end()));
            QCOMPARE(positions.last(), progress.ranges[phase]);
            // Often enough to move, seldom enough not to slow a large rebuild.
            QVERIFY(positions.size() <= 101);
        }
        QVERIFY(progress.positions[P::Extracting].size() >= 50);
    }
}

void TestKeywordRebuild::failureLeavesKeywordTableAsItWas()
{
    PhotoDbFixture db;
    writeKeywordStrings(db.dir(), {"ant,bee", "cat,dog", "emu"});
    const QStringList old{"bee|9", "cat|7", "owl|2"};
    writeKeywordRows(db.dir(), old);
    // Refused after the old rows are deleted and "ant", "bee" and "cat" are written.
    refuseKeyword(db.dir(), QStringLiteral("dog"), QStringLiteral("disk I/O error"));
    makeWorkTable(db.dir());

    QCOMPARE(errorOf([&] { rebuildKeywordTable(db.dir()); }), QStringLiteral("disk I/O error"));
    QCOMPARE(keywordRows(db.dir()), old);
    QVERIFY(!workTableExists(db.dir()));
    QVERIFY(!QFileInfo::exists(QDir(db.dir()).filePath("keyword.db-journal")));

    // Nothing of the failed rebuild is left pending: once the table takes writes again, the
    // next rebuild works.
    refuseKeyword(db.dir(), QString(), QString());
    rebuildKeywordTable(db.dir());
    QCOMPARE(keywordRows(db.dir()), (QStringList{"ant|1", "bee|1", "cat|1", "dog|1", "emu|1"}));
}

void TestKeywordRebuild::staleWorkTableRemoved()
{
    PhotoDbFixture db;
    writeKeywordStrings(db.dir(), {"sky"});
    makeWorkTable(db.dir());
    QVERIFY(workTableExists(db.dir()));
    rebuildKeywordTable(db.dir());
    QVERIFY(!workTableExists(db.dir()));
    QCOMPARE(keywordRows(db.dir()), QStringList{"sky|1"});
}

void TestKeywordRebuild::missingTables_data()
{
    QTest::addColumn<QString>("remove");
    QTest::addColumn<QString>("message");
    QTest::newRow("no Photo Table")
        << "photodb.db" << QStringLiteral("Table \"photodb.db\" does not exist in \"%1\".");
    QTest::newRow("no Keyword Table")
        << "keyword.db" << QStringLiteral("Table \"keyword.db\" does not exist in \"%1\".");
    QTest::newRow("no directory") << "" << QStringLiteral("No database directory.");
}

void TestKeywordRebuild::missingTables()
{
    QFETCH(QString, remove);
    QFETCH(QString, message);
    PhotoDbFixture db;
    writeKeywordStrings(db.dir(), {"sky"});
    // A work.db in a folder that is no photo database is the user's own, and stays.
    QFile work(QDir(db.dir()).filePath(QStringLiteral("work.db")));
    QVERIFY(work.open(QIODevice::WriteOnly) && work.write("mine") == 4);
    work.close();
    const QString dir = remove.isEmpty() ? QString() : db.dir();
    if (!remove.isEmpty())
        QVERIFY(QFile::remove(QDir(db.dir()).filePath(remove)));
    QCOMPARE(errorOf([&] { rebuildKeywordTable(dir); }), message.arg(db.dir()));
    QVERIFY(work.exists());
}

QTEST_GUILESS_MAIN(TestKeywordRebuild)
#include "tst_keyword_rebuild.moc"
