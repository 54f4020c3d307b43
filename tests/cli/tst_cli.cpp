#include "cli_runner.h"
#include "support/photo_db_fixture.h"

#include <QRegularExpression>
#include <QtTest>
#include <csignal>

using pictavo::test::cli;
using pictavo::test::patternBytes;
using pictavo::test::PhotoDbFixture;
using pictavo::test::Run;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// The process catches the signal (its SigCgt mask has the bit).
bool catches(qint64 pid, int sig)
{
    const QByteArray status = contents(QStringLiteral("/proc/%1/status").arg(pid));
    const qsizetype at = status.indexOf("SigCgt:");
    const qulonglong mask =
        status.mid(at + 7, status.indexOf('\n', at) - at - 7).trimmed().toULongLong(nullptr, 16);
    return at >= 0 && (mask >> (sig - 1)) & 1;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
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
    void queryStoppedBySignal();
    void exportRoundTrip();
    void exportOverwrite();
    void exportFailures_data();
    void exportFailures();
    void exportIntoMissingDirectory();
    void rebuildKeywords();
    void usage();
};

void TestCli::createTwice()
{
    QTemporaryDir dir;
    Run run = cli({"create", dir.path()});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, QStringLiteral("Created \"photodb.db\".\nCreated \"keyword.db\".\n"));
    QVERIFY(QFileInfo::exists(dir.filePath("photodb.db")) &&
            QFileInfo::exists(dir.filePath("keyword.db")));
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
    // A missing folder and its missing parent are made, and the user is told.
    const QString missing = dir.filePath("no/such");
    Run run = cli({"create", missing});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, QStringLiteral("Created the directory \"%1\".\nCreated \"photodb.db\".\n"
                                     "Created \"keyword.db\".\n")
                          .arg(missing));
    QVERIFY(QFileInfo::exists(missing + "/photodb.db"));

    // Below a file nothing can be made: the failure is said, and nothing else runs.
    QFile blocker(dir.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    run = cli({"create", dir.filePath("file/sub")});
    QCOMPARE(run.code, 1);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, QStringLiteral("The directory \"%1\" could not be created.\n")
                          .arg(dir.filePath("file/sub")));
}

void TestCli::queryPrintsRows()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("tab\there"), QStringLiteral("a,b"),
                patternBytes(1234, 1));
    db.addPhoto(QStringLiteral("IMG"), QStringLiteral("x"), QStringLiteral("line\nbreak"),
                patternBytes(10, 2));
    Run run = cli({"query", db.dir(), "select * from PHOTODB.DB", ";"});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out,
             QStringLiteral(
                 "PREFIX\tNAME\tEXT\tSERIAL\tKEYWORD\tCOUNT\tIMAGE_SIZE\tMEMO\tIMAGE\tTHUMBNAIL\n"
                 "\ttab\\there\t.jpg\t1\ta,b\t0\t1234\t\t<1234 bytes>\t\n"
                 "IMG\tx\t.jpg\t2\tline\\nbreak\t0\t10\t\t<10 bytes>\t\n"));
    run = cli({"query", db.dir(), "select KEYWORD, IMAGE_SIZE from PHOTODB.DB",
               "where NAME like \"x%\";"});
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
    QTest::newRow("sqlite's own text")
        << QStringList{"select NOPE from PHOTODB.DB"} << "no such column: NOPE\n";
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

void TestCli::queryStoppedBySignal()
{
    PhotoDbFixture db;
    for (int i = 0; i < 3; ++i)
        db.addPhoto("IMG", QString::number(i), "k", patternBytes(100, i));
    const QByteArray before = contents(db.dir() + "/photodb.db");
    QString endless = "select count(*) from PHOTODB.DB t0"; // 3^24 rows
    for (int i = 1; i < 24; ++i)
        endless += QStringLiteral(", PHOTODB.DB t%1").arg(i);
    QProcess process;
    process.start(PICTAVO_CLI, {"query", db.dir(), endless});
    // Once it runs (this test's own handlers gone), it catches SIGINT from just before
    // the statement starts.
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(catches(process.processId(), SIGINT), 60000);
    QCOMPARE(::kill(pid_t(process.processId()), SIGINT), 0);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 130);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
    QCOMPARE(process.readAllStandardError(), QByteArray("The query was stopped.\n"));
    QCOMPARE(contents(db.dir() + "/photodb.db"), before);
}

void TestCli::exportRoundTrip()
{
    PhotoDbFixture db;
    const QByteArray first = patternBytes(70000, 1);
    const QByteArray second = patternBytes(1024 * 1024 + 5, 2);
    QVERIFY(second.count('\0') > 100);
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), first);
    const qint64 serial = db.addPhoto(QString(), QStringLiteral("b"), QStringLiteral("k"), second);
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("b.jpg"));
    const Run run = cli({"export", db.dir(), QString::number(serial), path});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, "Exported to \"" + path + "\".\n");
    QVERIFY(contents(path) == second);
}

void TestCli::exportOverwrite()
{
    PhotoDbFixture db;
    const QByteArray image = patternBytes(5000, 3);
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), image);
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("a.jpg"));
    const QByteArray existing = patternBytes(9000, 4);
    QVERIFY(writeFile(path, existing));

    Run run = cli({"export", db.dir(), "1", path});
    QCOMPARE(run.code, 1);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, "File \"" + path + "\" already exists; use --force to overwrite it.\n");
    QVERIFY(contents(path) == existing);

    run = cli({"export", db.dir(), "1", path, "--force"});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, "Exported to \"" + path + "\".\n");
    QVERIFY(contents(path) == image);
    // The option may stand anywhere.
    QVERIFY(writeFile(path, existing));
    QCOMPARE(cli({"export", "--force", db.dir(), "1", path}).code, 0);
    QVERIFY(contents(path) == image);
}

void TestCli::exportFailures_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("message");

    const auto row = [](const char *tag, const QString &serial, const QString &message) {
        QTest::newRow(tag) << serial << message;
    };
    row("no such record", "99", "No photo with SERIAL 99 in \"%1\".\n");
    row("zero", "0", "No photo with SERIAL 0 in \"%1\".\n");
    row("beyond 32 bits", "4294967297", "No photo with SERIAL 4294967297 in \"%1\".\n");
    row("word", "abc", "SERIAL must be a number: \"abc\".\n");
    row("empty", "", "SERIAL must be a number: \"\".\n");
    row("fraction", "1.5", "SERIAL must be a number: \"1.5\".\n");
    row("statement after number", "1 or 1=1", "SERIAL must be a number: \"1 or 1=1\".\n");
}

void TestCli::exportFailures()
{
    QFETCH(QString, serial);
    QFETCH(QString, message);
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), "1");
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("x.jpg"));
    const Run run = cli({"export", db.dir(), serial, path});
    QCOMPARE(run.code, 1);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, message.contains(QStringLiteral("%1")) ? message.arg(db.dir()) : message);
    QVERIFY(!QFileInfo::exists(path));
}

void TestCli::exportIntoMissingDirectory()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), "1");
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("no/such/x.jpg"));
    Run run = cli({"export", db.dir(), "1", path});
    QCOMPARE(run.code, 1);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.startsWith("Could not save to \"" + path + "\": "), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(out.filePath(QStringLiteral("no"))));
    // A directory without a database.
    run = cli({"export", out.path(), "1", out.filePath(QStringLiteral("x.jpg"))});
    QCOMPARE(run.code, 1);
    QCOMPARE(run.err, "Table \"PHOTODB.DB\" does not exist in \"" + out.path() + "\".\n");
    QVERIFY(!QFileInfo::exists(out.filePath(QStringLiteral("x.jpg"))));
}

void TestCli::rebuildKeywords()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("*"), "1");
    db.addPhoto(QString(), QStringLiteral("b"), QStringLiteral("cat,dog"), "2");
    db.addPhoto(QString(), QStringLiteral("c"), QStringLiteral("dog,cat,cat"), "3");
    db.addKeyword(QStringLiteral("bird"), 9);
    Run run = cli({"rebuild-keywords", db.dir()});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, QStringLiteral("3 keywords, 6 occurrences\n"));
    QCOMPARE(db.rows({"select * from KEYWORD.DB;"}), (QStringList{"*|1", "cat|3", "dog|2"}));

    QVERIFY(QFile::remove(db.dir() + "/photodb.db"));
    run = cli({"rebuild-keywords", db.dir()});
    QCOMPARE(run.code, 1);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err,
             QStringLiteral("Table \"photodb.db\" does not exist in \"%1\".\n").arg(db.dir()));
    QCOMPARE(db.rows({"select * from KEYWORD.DB;"}), (QStringList{"*|1", "cat|3", "dog|2"}));
    QCOMPARE(cli({"rebuild-keywords"}).code, 2);
    QCOMPARE(cli({"rebuild-keywords", db.dir(), "x"}).code, 2);
}

void TestCli::usage()
{
    QCOMPARE(cli({"export", "/tmp", "1"}).code, 2);
    QCOMPARE(cli({"export", "/tmp", "1", "a", "b"}).code, 2);
    QCOMPARE(cli({}).code, 2);
    QCOMPARE(cli({"frobnicate"}).code, 2);
    QCOMPARE(cli({"query", "/tmp"}).code, 2);
    QCOMPARE(cli({"export-set", "/tmp"}).code, 2);
    QCOMPARE(cli({"export-set", "/tmp", "/tmp/x", "--query"}).code, 2);
    const Run help = cli({"--help"});
    QCOMPARE(help.code, 0);
    // Every command on a line of its own, once.
    const QStringList lines = help.out.split('\n');
    const QList<const char *> commands{
        "create",           "query",           "export",   "export-set", "import",
        "rebuild-keywords", "replace-keyword", "check",    "backup",     "upgrade",
        "thumbnails",       "--help",          "--version"};
    for (const char *command : commands)
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^  %1( |$)").arg(command))).size(),
                 1);
    QCOMPARE(lines.filter(QRegularExpression("^  [^ ]")).size(), commands.size());
    const Run version = cli({"--version"});
    QCOMPARE(version.code, 0);
    QCOMPARE(version.out, "pictavo-cli 1.0.2.12\n");
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
