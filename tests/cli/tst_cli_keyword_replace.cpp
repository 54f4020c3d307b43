#include "cli_runner.h"
#include "support/photo_db_fixture.h"

#include <QtTest>

using pictavo::test::cli;
using pictavo::test::PhotoDbFixture;
using pictavo::test::Run;

// pictavo-cli replace-keyword, run as a script would run it.
class TestCliKeywordReplace : public QObject
{
    Q_OBJECT

private slots:
    void replace_data();
    void replace();
};

void TestCliKeywordReplace::replace_data()
{
    QTest::addColumn<QStringList>("args"); // after the command; "DIR" is the database
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::addColumn<QStringList>("keywords");

    const QStringList before{"bobcat,cat", "cat,cat", "dog"};
    QTest::newRow("first occurrence in each record")
        << QStringList{"DIR", "cat", "dog"} << 0 << "2 of 3 records changed.\n"
        << "" << QStringList{"bobdog,cat", "dog,cat", "dog"};
    QTest::newRow("nothing matches")
        << QStringList{"DIR", "bird", "dog"} << 0 << "0 of 3 records changed.\n"
        << "" << before;
    QTest::newRow("commas and blanks as typed")
        << QStringList{"DIR", "dog", " a, b "} << 0 << "1 of 3 records changed.\n"
        << "" << QStringList{"bobcat,cat", "cat,cat", " a, b "};
    QTest::newRow("empty new text") << QStringList{"DIR", "cat", ""} << 1 << ""
                                    << "New Keyword is empty.\n"
                                    << before;
    QTest::newRow("empty old text") << QStringList{"DIR", "", "x"} << 1 << ""
                                    << "Old Keyword is empty.\n"
                                    << before;
    QTest::newRow("too few arguments") << QStringList{"DIR", "cat"} << 2 << ""
                                       << "usage: pictavo-cli replace-keyword %1 OLD NEW\n"
                                       << before;
    QTest::newRow("no database there") << QStringList{"DIR/missing", "cat", "dog"} << 1 << ""
                                       << "Directory \"DIR/missing\" does not exist.\n"
                                       << before;
}

void TestCliKeywordReplace::replace()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QStringList, keywords);
    PhotoDbFixture db;
    db.addPhoto("P", "1", "bobcat,cat", "1");
    db.addPhoto("P", "2", "cat,cat", "2");
    db.addPhoto("P", "3", "dog", "3");
    for (QString &arg : args)
        arg.replace("DIR", db.dir());
    const Run run = cli(QStringList{"replace-keyword"} + args);
    QCOMPARE(run.err, QString(err).replace("DIR", db.dir()).replace("%1", "DIR"));
    QCOMPARE(run.out, out);
    QCOMPARE(run.code, code);
    QCOMPARE(db.rows({"select KEYWORD from PHOTODB.DB"}), keywords);
}

QTEST_GUILESS_MAIN(TestCliKeywordReplace)
#include "tst_cli_keyword_replace.moc"
