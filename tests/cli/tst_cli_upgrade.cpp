#include "cli_runner.h"
#include "db/query.h"
#include "maintenance/library_upgrade.h"
#include "support/earlier_layout.h"
#include "support/photo_db_fixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#include <signal.h>

using namespace pictavo;
using pictavo::test::cli;
using pictavo::test::PhotoDbFixture;

namespace {

// Every record as the program reads it, photos whole, in the set's order.
QStringList contents(const QString &dir)
{
    Query query;
    query.setDatabaseName(dir);
    query.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
    query.open();
    QStringList records;
    for (query.first(); !query.eof(); query.next()) {
        QStringList fields;
        for (int f = 0; f < query.fieldCount(); ++f)
            fields << (query.field(f).def.type == FieldType::Blob
                           ? QString::fromLatin1(query.readBlob(query.field(f).name).toHex())
                           : query.valueAt(query.recNo(), f).toString());
        records << fields.join(QLatin1Char('|'));
    }
    return records;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestCliUpgrade : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refusedUntilUpgraded();
    void killedAtAnyMomentLeavesOneWholeLibrary();

private:
    // Fills `dir` (a new library) with the earlier layout's Photo Table of `m_records`.
    void writeEarlierLibrary(const QString &dir);

    QVector<test::EarlierRecord> m_records;
};

void TestCliUpgrade::initTestCase()
{
    QRandomGenerator random(2212);
    for (int i = 0; i < 240; ++i) {
        test::EarlierRecord r;
        r.count = i % 9;
        r.prefix = i % 3 ? QStringLiteral("IMG") : QString();
        r.name = QString::number(random.bounded(100)); // names repeat: SERIAL decides
        r.keyword = i % 5 ? QStringLiteral("sea,猫 %1").arg(i % 7) : QStringLiteral("*");
        r.memo = i % 4 ? QString() : QStringLiteral("memo %1").arg(i);
        r.image = pictavo::test::patternBytes(20000 + random.bounded(40000), i);
        if (i % 6 == 0)
            r.thumbnail = pictavo::test::patternBytes(300, -i);
        m_records << r;
    }
}

void TestCliUpgrade::writeEarlierLibrary(const QString &dir)
{
    // Records deleted at the end: their SERIALs must never be given again.
    QVERIFY(test::writeEarlierPhotoTable(dir, m_records, 236));
}

// Every command but the upgrade refuses the earlier layout, naming the upgrade; after
// it, the library holds what it held, and numbering goes on past the deleted records.
void TestCliUpgrade::refusedUntilUpgraded()
{
    PhotoDbFixture db;
    writeEarlierLibrary(db.dir());
    const QString expected =
        QStringLiteral("The library in \"%1\" is in the layout of an earlier version. Upgrade it "
                       "with: pictavo-cli upgrade \"%1\"\n")
            .arg(db.dir());
    for (const QStringList &args : {QStringList{"query", db.dir(), "select * from PHOTODB.DB"},
                                    QStringList{"check", db.dir()},
                                    QStringList{"replace-keyword", db.dir(), "sea", "lake"}}) {
        const test::Run run = cli(args);
        QCOMPARE(run.code, 1);
        QCOMPARE(run.err, expected);
    }
    QVERIFY(libraryNeedsUpgrade(db.dir()));

    const test::Run run = cli({"upgrade", db.dir()});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.code, 0);
    QVERIFY(!libraryNeedsUpgrade(db.dir()));
    const QStringList upgraded = contents(db.dir());
    QCOMPARE(upgraded.size(), 236);
    QCOMPARE(cli({"upgrade", db.dir()}).code, 1); // nothing to do, said so
    QVERIFY(QDir(db.dir()).entryList({".pictavo-*"}, QDir::Dirs | QDir::Hidden).isEmpty());
    QCOMPARE(db.addPhoto("IMG", "new", "k", "photo"), qint64(241));
}

// The upgrade is killed at moments drawn from a fixed seed: each time the folder holds
// the old table, byte for byte, or the new one, whole; a later upgrade finishes the job.
void TestCliUpgrade::killedAtAnyMomentLeavesOneWholeLibrary()
{
    PhotoDbFixture db;
    writeEarlierLibrary(db.dir());
    const QString path = db.dir() + QStringLiteral("/photodb.db");
    const QByteArray original = fileBytes(path);
    PhotoDbFixture whole;
    writeEarlierLibrary(whole.dir());
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(cli({"upgrade", whole.dir()}).code, 0);
    const qint64 upgradeMs = clock.elapsed();
    const QStringList expected = contents(whole.dir());

    QRandomGenerator random(20261209);
    int oldSeen = 0, newSeen = 0;
    for (int round = 0; round < 16; ++round) {
        QProcess process;
        process.start(QStringLiteral(PICTAVO_CLI), {"upgrade", db.dir()});
        QVERIFY(process.waitForStarted());
        QThread::msleep(random.bounded(quint32(upgradeMs + 20)));
        ::kill(pid_t(process.processId()), SIGKILL);
        QVERIFY(process.waitForFinished());
        if (libraryNeedsUpgrade(db.dir())) {
            QVERIFY(fileBytes(path) == original);
            ++oldSeen;
            continue;
        }
        QCOMPARE(contents(db.dir()), expected);
        ++newSeen;
        QFile restore(path);
        QVERIFY(restore.open(QIODevice::WriteOnly) && restore.write(original) == original.size());
    }
    QVERIFY2(oldSeen > 0 && newSeen > 0,
             qPrintable(QStringLiteral("%1 old, %2 new").arg(oldSeen).arg(newSeen)));
    QCOMPARE(cli({"upgrade", db.dir()}).code, 0);
    QCOMPARE(contents(db.dir()), expected);
    QVERIFY(QDir(db.dir()).entryList({".pictavo-*"}, QDir::Dirs | QDir::Hidden).isEmpty());
}

QTEST_GUILESS_MAIN(TestCliUpgrade)
#include "tst_cli_upgrade.moc"
