#include "album/set_export.h"
#include "db/query.h"
#include "support/photo_db_fixture.h"

#include <QDirIterator>
#include <QtTest>

using namespace pictavo;
using pictavo::test::patternBytes;
using pictavo::test::PhotoDbFixture;

namespace {

void openSet(Query &set, const QString &dir)
{
    set.setDatabaseName(dir);
    set.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
    set.open();
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

} // namespace

class TestSetExport : public QObject
{
    Q_OBJECT

private slots:
    void namesAndClashes_data();
    void namesAndClashes();
    void existingFiles();
};

void TestSetExport::namesAndClashes_data()
{
    // Records "PREFIX#NAME#EXT", stored in this order (SERIAL 1, 2...), "#-" after one
    // without a photo; the files planned for them in the set's order (prefix, name, ext).
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("clash gets SERIAL") << QStringList{"#a#.jpg", "#a#.jpg", "p#a#.jpg"}
                                       << QStringList{"a.jpg", "a_2.jpg", "p/a.jpg"};
    QTest::newRow("letter case clashes")
        << QStringList{"#Sun#.jpg", "#sun#.JPG"} << QStringList{"Sun.jpg", "sun_2.JPG"};
    QTest::newRow("NAME_SERIAL taken") << QStringList{"#a#.jpg", "#a#.jpg", "#a_2#.jpg"}
                                       << QStringList{"a.jpg", "a_2.jpg", "a_2_3.jpg"};
    QTest::newRow("replaced characters")
        << QStringList{"a/b#x:y*?\"<>\\|#.jpg", "..#.#", QStringLiteral("Trip #\u732b\x01#.jpg")}
        << QStringList{"._/_", QStringLiteral("Trip_/\u732b_.jpg"), "a_b/x_y_______.jpg"};
    QTest::newRow("no photo takes no name")
        << QStringList{"#A#.jpg#-", "#a#.jpg"} << QStringList{"", "a.jpg"};
}

void TestSetExport::namesAndClashes()
{
    QFETCH(QStringList, records);
    QFETCH(QStringList, files);
    PhotoDbFixture db;
    for (int i = 0; i < records.size(); ++i) {
        const QStringList field = records[i].split('#');
        db.addPhoto(field[0], field[1], "k", patternBytes(100 + i, i), field[2]);
        if (field.size() > 3)
            db.emptyPhoto(field[1]);
    }
    Query set;
    openSet(set, db.dir());
    QTemporaryDir out;
    SetExport photos(set, out.path(), false);
    QCOMPARE(photos.plannedFiles(), files);
    const SetExportCounts counts = photos.run(false, {});
    QCOMPARE(counts.written, files.size() - files.count(QString()));
    QCOMPARE(counts.withoutPhoto, files.count(QString()));
    QVERIFY(counts.complete());
    // Byte for byte, and nothing beside them.
    for (int row = 0; row < files.size(); ++row) {
        if (!files[row].isEmpty())
            QVERIFY(contents(out.filePath(files[row])) == set.readBlobAt(row, "IMAGE"));
    }
    QDirIterator all(out.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    int found = 0;
    for (; all.hasNext(); all.next())
        ++found;
    QCOMPARE(found, counts.written);
}

void TestSetExport::existingFiles()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), "a", "k", patternBytes(300, 1));
    db.addPhoto(QString(), "b", "k", patternBytes(300, 2));
    Query set;
    openSet(set, db.dir());
    QTemporaryDir out;
    QVERIFY(QDir(out.path()).mkdir("b.jpg.xmp"));
    SetExport photos(set, out.path(), true);
    QCOMPARE(photos.existingFiles(), QStringList{"b.jpg"});
    SetExportCounts counts = photos.run(false, {});
    QCOMPARE(photos.closingText(counts),
             "Exported to \"" + out.path() +
                 "\": 1 written, 0 without photo, 1 not replaced, 0 failed.\r"
                 "b.jpg: already there, not replaced");
    QVERIFY(!QFileInfo::exists(out.filePath("b.jpg")));
    // Stopped after the first record: b is not reached.
    counts = photos.run(true, [](int, int) { return false; });
    QVERIFY(counts.stopped && counts.written == 1 && !counts.complete());
    // Replacing: a sidecar that cannot take the place of a folder fails its photo.
    counts = photos.run(true, {});
    QCOMPARE(counts.summary(), "1 written, 0 without photo, 0 not replaced, 1 failed");
    QVERIFY(photos.problems().value(0).startsWith("b.jpg: Could not save to"));
}

QTEST_GUILESS_MAIN(TestSetExport)
#include "tst_set_export.moc"
