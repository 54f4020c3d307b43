#include "db/database.h"
#include "db/engine_error.h"
#include "db/query.h"
#include "db/statement_watcher.h"
#include "support/engine_error_text.h"
#include "support/photo_db_fixture.h"

#include <QtTest>
#include <sqlite3.h>

using namespace pictavo;
using pictavo::test::errorOf;

namespace {

// A count of the rows of n copies of the Photo Table joined: 4^n here.
QStringList countOfCopies(int n)
{
    QStringList tables;
    for (int i = 1; i <= n; ++i)
        tables << QStringLiteral("PHOTODB.DB t%1").arg(i);
    return {"select count(*) from", tables.join(", ") + ";"};
}

// A million million rows: longer than any test.
const QStringList kEndless = countOfCopies(20);

// Says stop at its stopAt-th question (never when 0), after running whileAsked.
struct Watcher : StatementWatcher
{
    bool keepGoing(std::chrono::milliseconds) override
    {
        if (whileAsked)
            whileAsked();
        return ++asked != stopAt;
    }
    void finished() override { ++ended; }
    int stopAt = 0, asked = 0, ended = 0;
    std::function<void()> whileAsked;
};

} // namespace

// A statement stopped from the progress handler while a data set opens.
class TestQueryStop : public QObject
{
    Q_OBJECT

private slots:
    void stopBringsBackThePreviousSet();
};

void TestQueryStop::stopBringsBackThePreviousSet()
{
    test::PhotoDbFixture db;
    for (const char *name : {"a", "b", "c", "d"})
        db.addPhoto("IMG", name, "k", test::patternBytes(100, name[0]));
    const QStringList setA{"select * from PHOTODB.DB where NAME <> \"a\";"};
    Query album;
    album.setDatabaseName(db.dir());
    album.setSql(setA);
    album.open();
    album.moveTo(2);
    Watcher watcher;
    album.setWatcher(&watcher);

    // Unwatched it would run for days; here the third question stops it. Nothing may
    // start on the connection meanwhile, not even another data set's opening.
    watcher.stopAt = 3;
    QString inside;
    watcher.whileAsked = [&] {
        Query other;
        other.setDatabaseName(db.dir());
        other.setSql({"select * from KEYWORD.DB;"});
        inside = errorOf([&] { other.open(); });
    };
    QString stopped;
    try {
        album.openInstead(kEndless);
    } catch (const QueryStopped &error) {
        stopped = error.text();
    }
    QCOMPARE(stopped, QStringLiteral("The query was stopped."));
    QCOMPARE(inside, QStringLiteral("Another query of this database is still running."));
    QCOMPARE(watcher.asked, 3);
    QCOMPARE(watcher.ended, 2); // the stopped opening, and the one that brought set A back
    QVERIFY(album.active());
    QCOMPARE(album.sql(), setA);
    QCOMPARE(album.recordCount(), 3);
    QCOMPARE(album.recNo(), 2);
    QCOMPARE(album.asString("NAME"), QStringLiteral("d"));
    // No read transaction is left open to lock out another process's writes.
    QVERIFY(sqlite3_get_autocommit(Database::forDirectory(db.dir())->handle()));

    // A watcher that never says stop only watches: a long enough count runs to its end.
    watcher = Watcher();
    album.setSql(countOfCopies(8));
    album.open();
    QCOMPARE(album.valueAt(0, 0).toLongLong(), 65536);
    QVERIFY(watcher.asked > 0);
    QCOMPARE(watcher.ended, 1);

    // A plain opening that is stopped leaves the data set closed.
    watcher.stopAt = watcher.asked + 1;
    album.setSql(kEndless);
    QCOMPARE(errorOf([&] { album.open(); }), QStringLiteral("The query was stopped."));
    QVERIFY(!album.active());
}

QTEST_GUILESS_MAIN(TestQueryStop)
#include "tst_query_stop.moc"
