#include "support/photo_db_fixture.h"

#include <QProcess>
#include <QtTest>

using pictavo::test::PhotoDbFixture;
using pictavo::test::patternBytes;

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run cli(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral(PICTAVO_CLI), args);
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

// The command-line tool, run as a script would run it.
class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void createTwice();
    void createInMissingDirectory();
    void queryPrintsRows();
    void queryFailures_data();
    void queryFailures();
    void usage();
};

void TestCli::createTwice()
{
    QTemporaryDir dir;
    Run run = cli({"create", dir.path()});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, QStringLiteral("Created \"photodb.db\".\nCreated \"keyword.db\".\n"));
    QVERIFY(QFileInfo::exists(dir.filePath("photodb.db")) && QFileInfo::exists(dir.filePath("keyword.db")));
    run = cli({"create", dir.path()});
    QCOMPARE(run.code, 1);
    QCOMPARE(run.err, QStringLiteral("Photo table is already existed.\n"));
    QVERIFY(QFile::remove(dir.filePath("photodb.db")));
    run = cli({"create", dir.path()});
    QCOMPARE(run.code, 1);
    QCOMPARE(run.err, QStringLiteral("Keyword table is already existed.\n"));
    QVERIFY(!QFileInfo::exists(dir.filePath("photodb.db")));
}

void TestCli::createInMissingDirectory()
{
    QTemporaryDir dir;
    const Run run = cli({"create", dir.filePath("no/such")});
    QCOMPARE(run.code, 1);
    QCOMPARE(run.err, QStringLiteral("Could not create \"photodb.db\".\n"));
}

void TestCli::queryPrintsRows()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("tab\there"), QStringLiteral("a,b"), patternBytes(1234, 1));
    db.addPhoto(QStringLiteral("IMG"), QStringLiteral("x"), QStringLiteral("line\nbreak"), patternBytes(10, 2));
    Run run = cli({"query", db.dir(), "select * from PHOTODB.DB", ";"});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, QStringLiteral("PREFIX\tNAME\tEXT\tSERIAL\tKEYWORD\tCOUNT\tIMAGE_SIZE\tMEMO\tIMAGE\tTHUMBNAIL\n"
                                     "\ttab\\there\t.jpg\t1\ta,b\t0\t1234\t\t<1234 bytes>\t\n"
                                     "IMG\tx\t.jpg\t2\tline\\nbreak\t0\t10\t\t<10 bytes>\t\n"));
    run = cli({"query", db.dir(), "select KEYWORD, IMAGE_SIZE from PHOTODB.DB", "where NAME like \"x%\";"});
    QCOMPARE(run.out, QStringLiteral("KEYWORD\tIMAGE_SIZE\nline\\nbreak\t10\n"));
}

void TestCli::queryFailures_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("message");
    QTest::newRow("writes") << QStringList{"delete from PHOTODB.DB"}
                            << "Only a SELECT statement can be opened as a query: delete\n";
    QTest::newRow("no such table") << QStringList{"select * from OTHER.DB"}
                                   << "Table \"OTHER.DB\" does not exist in \"%1\".\n";
    QTest::newRow("unbalanced quote") << QStringList{"select * from PHOTODB.DB where NAME=\"x"}
                                      << "Unterminated string in SQL statement: \"x\n";
    QTest::newRow("sqlite's own text") << QStringList{"select NOPE from PHOTODB.DB"}
                                       << "no such column: NOPE\n";
}

void TestCli::queryFailures()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, message);
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), "1");
    const Run run = cli(QStringList{"query", db.dir()} + lines);
    QCOMPARE(run.code, 1);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, message.contains(QStringLiteral("%1")) ? message.arg(db.dir()) : message);
    QCOMPARE(db.rows({"select NAME from PHOTODB.DB"}), QStringList{"a"});
}

void TestCli::usage()
{
    QCOMPARE(cli({}).code, 2);
    QCOMPARE(cli({"frobnicate"}).code, 2);
    QCOMPARE(cli({"query", "/tmp"}).code, 2);
    QCOMPARE(cli({"--help"}).code, 0);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
