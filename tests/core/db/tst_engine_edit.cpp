#include "db/engine_error.h"
#include "db/query.h"
#include "db/table.h"
#include "support/photo_db_fixture.h"

#include "support/engine_error_text.h"

#include <QtTest>

using namespace pictavo;
using pictavo::test::errorOf;
using pictavo::test::patternBytes;
using pictavo::test::PhotoDbFixture;

namespace {

void openAlbum(Query &query, const QString &dir)
{
    query.setDatabaseName(dir);
    query.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
    query.open();
}

void fillPhoto(DataSet &data, const QString &name, const QByteArray &image)
{
    data.setValue(QStringLiteral("NAME"), name);
    data.setValue(QStringLiteral("KEYWORD"), QStringLiteral("*"));
    data.setValue(QStringLiteral("COUNT"), 0);
    data.setValue(QStringLiteral("IMAGE_SIZE"), qint64(image.size()));
    data.setBlob(QStringLiteral("IMAGE"), image);
}

} // namespace

// Writes through tables and live queries: the field rules, the hooks and the failures.
class TestEngineEdit : public QObject
{
    Q_OBJECT

private slots:
    void requiredFields_data();
    void requiredFields();
    void fieldSizesCountCharacters_data();
    void fieldSizesCountCharacters();
    void integerFields();
    void keyViolation();
    void serialAfterPost();
    void blobRoundTrip();
    void hooksInOrder();
    void beforePostFailureKeepsEditing();
    void postWhileAnotherDataSetIsOpen();
    void deleteAndCancel();
    void deleteGivesSpaceBackAndKeepsOtherPhotos();
    void listenersSeeAValidRecordWhenARowGoes();
    void findKeyCutsToFieldSize();
    void browseStateRefusesWrites();
    void rowsWrittenElsewhereAreFound();
    void closingDropsAPendingEdit();
};

void TestEngineEdit::requiredFields_data()
{
    QTest::addColumn<QString>("emptied");
    QTest::addColumn<QString>("message");
    QTest::newRow("prefix may be empty") << "PREFIX" << QString();
    QTest::newRow("ext may be empty") << "EXT" << QString();
    QTest::newRow("name") << "NAME" << QString("Field 'NAME' must have a value.");
    QTest::newRow("keyword") << "KEYWORD" << QString("Field 'KEYWORD' must have a value.");
    QTest::newRow("count") << "COUNT" << QString("Field 'COUNT' must have a value.");
    QTest::newRow("image size") << "IMAGE_SIZE" << QString("Field 'IMAGE_SIZE' must have a value.");
    QTest::newRow("image") << "IMAGE" << QString("Field 'IMAGE' must have a value.");
}

void TestEngineEdit::requiredFields()
{
    QFETCH(QString, emptied);
    QFETCH(QString, message);
    PhotoDbFixture db;
    Query album;
    openAlbum(album, db.dir());
    album.append();
    album.setValue(QStringLiteral("PREFIX"), QStringLiteral("p"));
    album.setValue(QStringLiteral("EXT"), QStringLiteral(".jpg"));
    fillPhoto(album, QStringLiteral("n"), patternBytes(10, 1));
    // An empty text is stored as null, so it counts as no value.
    album.setValue(emptied, emptied == QLatin1String("IMAGE") ? QVariant(QByteArray())
                                                              : QVariant(QString()));
    QCOMPARE(errorOf([&] { album.post(); }), message);
    if (message.isEmpty()) {
        QCOMPARE(album.state(), DataSet::State::Browse);
        QVERIFY(album.isNull(emptied));
        QCOMPARE(db.rows({"select count(*) from PHOTODB.DB"}), QStringList{"1"});
    } else {
        QCOMPARE(album.state(), DataSet::State::Insert);
        QCOMPARE(db.rows({"select count(*) from PHOTODB.DB"}), QStringList{"0"});
    }
}

void TestEngineEdit::fieldSizesCountCharacters_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("stored");
    QTest::newRow("name 40 to 32")
        << "NAME" << QString(40, QLatin1Char('n')) << QString(32, QLatin1Char('n'));
    QTest::newRow("keyword 300 to 255")
        << "KEYWORD" << QString(300, QLatin1Char('k')) << QString(255, QLatin1Char('k'));
    QTest::newRow("ext") << "EXT"
                         << ".jpeg"
                         << ".jpe";
    QTest::newRow("non-ASCII letters count once")
        << "EXT" << QString::fromUtf8("äöüßé") << QString::fromUtf8("äöüß");
    // Four characters outside the basic plane are eight UTF-16 units; none is cut in half.
    QTest::newRow("astral characters") << "EXT" << QString::fromUtf8("😀😁😂🤣😃")
                                       << QString::fromUtf8("😀😁😂🤣");
    QTest::newRow("exactly the size")
        << "PREFIX" << QString(32, QLatin1Char('p')) << QString(32, QLatin1Char('p'));
}

void TestEngineEdit::fieldSizesCountCharacters()
{
    QFETCH(QString, field);
    QFETCH(QString, written);
    QFETCH(QString, stored);
    PhotoDbFixture db;
    Query album;
    openAlbum(album, db.dir());
    album.append();
    fillPhoto(album, QStringLiteral("n"), patternBytes(10, 1));
    album.setValue(field, written);
    QCOMPARE(album.asString(field), stored); // cut on writing, visible before the post
    album.post();
    album.close();
    album.open();
    QCOMPARE(album.asString(field), stored);
}

void TestEngineEdit::integerFields()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), patternBytes(10, 1));
    Query album;
    openAlbum(album, db.dir());
    album.edit();
    QCOMPARE(errorOf([&] { album.setValue(QStringLiteral("IMAGE_SIZE"), QStringLiteral("abc")); }),
             QStringLiteral("'abc' is not a valid integer value."));
    QCOMPARE(
        errorOf([&] { album.setValue(QStringLiteral("COUNT"), QStringLiteral("4294967296")); }),
        QStringLiteral("'4294967296' is not a valid integer value."));
    album.setValue(QStringLiteral("COUNT"), QStringLiteral(" -7 "));
    album.post();
    QCOMPARE(album.asInteger(QStringLiteral("COUNT")), -7);
    QCOMPARE(album.asInteger(QStringLiteral("IMAGE_SIZE")), 10);
}

void TestEngineEdit::keyViolation()
{
    PhotoDbFixture db;
    db.addKeyword(QStringLiteral("sky"), 1);
    Table keywords;
    keywords.setDatabaseName(db.dir());
    keywords.setTableName(QStringLiteral("KEYWORD.DB"));
    keywords.open();
    keywords.append();
    keywords.setValue(QStringLiteral("KEYWORD"), QStringLiteral("sky"));
    keywords.setValue(QStringLiteral("COUNT"), 5);
    QCOMPARE(errorOf([&] { keywords.post(); }), QStringLiteral("Key violation."));
    QCOMPARE(keywords.state(), DataSet::State::Insert);
    keywords.setValue(QStringLiteral("KEYWORD"), QStringLiteral("Sky")); // letter case counts
    keywords.post();
    QCOMPARE(db.rows({"select * from KEYWORD.DB"}), QStringList({"Sky|5", "sky|1"}));

    // Prefix, name and extension may repeat: SERIAL tells the records apart.
    const qint64 first =
        db.addPhoto(QStringLiteral("p"), QStringLiteral("same"), QStringLiteral("k"), "1");
    const qint64 second =
        db.addPhoto(QStringLiteral("p"), QStringLiteral("same"), QStringLiteral("k"), "2");
    QVERIFY(second > first);
}

void TestEngineEdit::serialAfterPost()
{
    PhotoDbFixture db;
    Query album;
    openAlbum(album, db.dir());
    QVector<qint64> serials;
    for (int i = 0; i < 3; ++i) {
        album.append();
        QVERIFY(album.isNull(QStringLiteral("SERIAL")));
        fillPhoto(album, QStringLiteral("n%1").arg(i), patternBytes(10, i));
        album.post();
        serials << album.asInteger(QStringLiteral("SERIAL"));
        QCOMPARE(album.asString(QStringLiteral("NAME")), QStringLiteral("n%1").arg(i));
    }
    QCOMPARE(serials, QVector<qint64>({1, 2, 3}));
    QCOMPARE(album.recordCount(), 3);
    // A deleted SERIAL is never handed out again.
    album.remove();
    album.append();
    fillPhoto(album, QStringLiteral("again"), "x");
    album.post();
    QCOMPARE(album.asInteger(QStringLiteral("SERIAL")), 4);
}

void TestEngineEdit::blobRoundTrip()
{
    PhotoDbFixture db;
    const QByteArray big = patternBytes(5 * 1024 * 1024 + 3, 7);
    const qint64 serial = db.addPhoto(QString(), QStringLiteral("big"), QStringLiteral("k"), big);
    Query query;
    query.setDatabaseName(db.dir());
    query.setSql({QStringLiteral("SELECT * FROM PHOTODB.DB WHERE SERIAL="), QString::number(serial),
                  QStringLiteral(";")});
    query.open();
    QCOMPARE(query.blobSize(QStringLiteral("IMAGE")), big.size());
    QVERIFY(query.readBlob(QStringLiteral("IMAGE")) == big);
    // Replacing the blob of an existing record.
    query.edit();
    query.setBlob(QStringLiteral("IMAGE"), QByteArray("\0\1\2", 3));
    QCOMPARE(query.readBlob(QStringLiteral("IMAGE")), QByteArray("\0\1\2", 3));
    query.post();
    QCOMPARE(query.readBlob(QStringLiteral("IMAGE")), QByteArray("\0\1\2", 3));
}

void TestEngineEdit::hooksInOrder()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), "1");
    db.addPhoto(QString(), QStringLiteral("b"), QStringLiteral("k"), "2");
    Query album;
    QStringList log;
    album.afterScroll = [&](DataSet &d) { log << QStringLiteral("scroll:%1").arg(d.recNo()); };
    album.afterInsert = [&](DataSet &) { log << QStringLiteral("insert"); };
    album.afterEdit = [&](DataSet &) { log << QStringLiteral("edit"); };
    album.beforePost = [&](DataSet &d) {
        log << QStringLiteral("beforePost:%1").arg(d.asString(QStringLiteral("SERIAL")));
    };
    album.afterPost = [&](DataSet &d) {
        log << QStringLiteral("afterPost:%1").arg(d.asString(QStringLiteral("SERIAL")));
    };
    album.afterCancel = [&](DataSet &) { log << QStringLiteral("cancel"); };
    album.afterDelete = [&](DataSet &) { log << QStringLiteral("delete"); };
    openAlbum(album, db.dir());
    album.next();
    album.next(); // at the end already: no move
    album.edit();
    album.setValue(QStringLiteral("KEYWORD"), QStringLiteral("changed"));
    album.prior(); // a move posts the pending edit first
    album.edit();
    album.cancel();
    album.append();
    fillPhoto(album, QStringLiteral("c"), "3");
    album.post();
    album.first();
    album.remove();
    QCOMPARE(log, QStringList({"scroll:0", "scroll:1", "edit", "beforePost:2", "afterPost:2",
                               "scroll:0", "edit", "cancel", "insert", "scroll:2",
                               "beforePost:", "afterPost:3", "scroll:0", "delete", "scroll:0"}));
    QCOMPARE(db.rows({"select NAME, KEYWORD from PHOTODB.DB"}), QStringList({"b|changed", "c|*"}));
}

void TestEngineEdit::beforePostFailureKeepsEditing()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), "1");
    Query album;
    openAlbum(album, db.dir());
    QString postError;
    album.beforePost = [](DataSet &) {
        throw EngineError(QStringLiteral("Keyword table is not open."));
    };
    album.onPostError = [&](DataSet &, const Error &error) { postError = error.text(); };
    album.edit();
    album.setValue(QStringLiteral("NAME"), QStringLiteral("z"));
    QCOMPARE(errorOf([&] { album.post(); }), QStringLiteral("Keyword table is not open."));
    QCOMPARE(album.state(), DataSet::State::Edit);
    QCOMPARE(db.rows({"select NAME from PHOTODB.DB"}), QStringList{"a"});
    // A failure of the write itself reaches the post-error hook.
    album.beforePost = nullptr;
    album.setValue(QStringLiteral("NAME"), QString());
    QCOMPARE(errorOf([&] { album.post(); }), QStringLiteral("Field 'NAME' must have a value."));
    QCOMPARE(postError, QStringLiteral("Field 'NAME' must have a value."));
    album.cancel();
    QCOMPARE(album.asString(QStringLiteral("NAME")), QStringLiteral("a"));
}

void TestEngineEdit::postWhileAnotherDataSetIsOpen()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), "1");
    Query album;
    openAlbum(album, db.dir());
    Query other;
    openAlbum(other, db.dir());
    Table keywords;
    keywords.setDatabaseName(db.dir());
    keywords.setTableName(QStringLiteral("keyword.db"));
    keywords.open();
    other.edit();
    other.setValue(QStringLiteral("KEYWORD"), QStringLiteral("from other"));
    album.append();
    fillPhoto(album, QStringLiteral("b"), "2");
    // The keyword table is written in the middle of the photo post, as the new-keyword
    // check does.
    album.beforePost = [&](DataSet &) {
        keywords.append();
        keywords.setValue(QStringLiteral("KEYWORD"), QStringLiteral("new"));
        keywords.setValue(QStringLiteral("COUNT"), 1);
        keywords.post();
    };
    album.post();
    other.post();
    QCOMPARE(db.rows({"select NAME, KEYWORD from PHOTODB.DB"}),
             QStringList({"a|from other", "b|*"}));
    QCOMPARE(db.rows({"select * from KEYWORD.DB"}), QStringList{"new|1"});
    // The other data set still shows the record it had, until it is opened again.
    QCOMPARE(other.recordCount(), 1);
}

void TestEngineEdit::deleteAndCancel()
{
    PhotoDbFixture db;
    for (const char *name : {"a", "b", "c"})
        db.addPhoto(QString(), QString::fromLatin1(name), QStringLiteral("k"), name);
    Query album;
    openAlbum(album, db.dir());
    album.last();
    album.remove(); // the last record: the one before it becomes current
    QCOMPARE(album.asString(QStringLiteral("NAME")), QStringLiteral("b"));
    album.first();
    album.remove();
    QCOMPARE(album.asString(QStringLiteral("NAME")), QStringLiteral("b"));
    album.append();
    QCOMPARE(album.viewRowCount(), 2);
    album.cancel();
    QCOMPARE(album.viewRowCount(), 1);
    QCOMPARE(album.asString(QStringLiteral("NAME")), QStringLiteral("b"));
    album.remove();
    QCOMPARE(album.recordCount(), 0);
    QVERIFY(album.bof() && album.eof());
    QCOMPARE(errorOf([&] { album.remove(); }),
             QStringLiteral("Cannot perform this operation on an empty dataset."));
    QCOMPARE(db.rows({"select count(*) from PHOTODB.DB"}), QStringList{"0"});
}

// Deleting a photo shrinks the table file by about its size; the pages of the photos
// after it are moved into the gap, and every one of them still reads back byte for byte.
void TestEngineEdit::deleteGivesSpaceBackAndKeepsOtherPhotos()
{
    PhotoDbFixture db;
    QList<QByteArray> photos;
    for (int i = 0; i < 6; ++i) {
        photos << patternBytes(300000 + 4099 * i, 40 + i);
        db.addPhoto(QString(), QStringLiteral("n%1").arg(i), QStringLiteral("k"), photos.last());
    }
    const QString path = db.dir() + QStringLiteral("/photodb.db");
    const qint64 before = QFileInfo(path).size();
    Query album;
    openAlbum(album, db.dir());
    album.moveTo(1); // n1, in the middle of the file
    album.remove();
    const qint64 after = QFileInfo(path).size();
    QVERIFY2(before - after >= photos[1].size() - 8192,
             qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(after)));
    QCOMPARE(db.rows({"select NAME from PHOTODB.DB ;"}),
             QStringList({"n0", "n2", "n3", "n4", "n5"}));
    Query check;
    openAlbum(check, db.dir());
    for (int i = 0; i < 5; ++i) {
        check.moveTo(i);
        const int original = i == 0 ? 0 : i + 1;
        QVERIFY2(check.readBlob(QStringLiteral("IMAGE")) == photos[original],
                 qPrintable(check.asString(QStringLiteral("NAME"))));
    }
}

// Views hear of a removed row after the fact and read the data set while they do (a
// view may move its cursor, a cell editor may commit): the current record must already
// be one that exists, after deleting the last record and after dropping an append.
void TestEngineEdit::listenersSeeAValidRecordWhenARowGoes()
{
    PhotoDbFixture db;
    for (const char *name : {"a", "b", "c"})
        db.addPhoto(QString(), QLatin1String(name), QStringLiteral("k"), "x");
    Query album;
    openAlbum(album, db.dir());
    QStringList seen;
    album.addListener([&](const DataSet::Change &change) {
        if (change.kind != DataSet::Change::RowRemoved)
            return;
        QVERIFY(album.recNo() >= 0 && album.recNo() < album.recordCount());
        seen << album.asString(QStringLiteral("NAME"));
    });
    album.last();
    album.remove();
    album.append();
    album.cancel();
    album.moveTo(0);
    album.append(); // inserted before the first record
    album.cancel();
    QCOMPARE(seen, QStringList({"b", "b", "a"}));
}

void TestEngineEdit::findKeyCutsToFieldSize()
{
    PhotoDbFixture db;
    const QString long40 = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789ABCD");
    Table keywords;
    keywords.setDatabaseName(db.dir());
    keywords.setTableName(QStringLiteral("KEYWORD.DB"));
    keywords.open();
    for (const QString &keyword : {QStringLiteral("b"), long40, QStringLiteral("a")}) {
        keywords.append();
        keywords.setValue(QStringLiteral("KEYWORD"), keyword);
        keywords.setValue(QStringLiteral("COUNT"), 1);
        keywords.post();
    }
    keywords.close();
    keywords.open();
    QVERIFY(keywords.findKey({long40}));
    QCOMPARE(keywords.asString(QStringLiteral("KEYWORD")), long40.left(32));
    QVERIFY(keywords.findKey({QStringLiteral("a")}));
    QCOMPARE(keywords.recNo(), 0);
    QVERIFY(!keywords.findKey({QStringLiteral("A")}));
    QCOMPARE(keywords.recNo(), 0); // a failed search stays put
}

void TestEngineEdit::browseStateRefusesWrites()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), "1");
    Query album;
    openAlbum(album, db.dir());
    QCOMPARE(errorOf([&] { album.setValue(QStringLiteral("NAME"), QStringLiteral("x")); }),
             QStringLiteral("Dataset not in edit or insert mode."));
    album.edit();
    QCOMPARE(errorOf([&] { album.setValue(QStringLiteral("NOSUCH"), 1); }),
             QStringLiteral("Field 'NOSUCH' not found."));
    album.cancel();
    album.close();
    QCOMPARE(errorOf([&] { album.value(QStringLiteral("IMAGE")); }),
             QStringLiteral("Cannot perform this operation on a closed dataset."));
    Query computed;
    computed.setDatabaseName(db.dir());
    computed.setSql({QStringLiteral("select NAME, upper(NAME) as U from PHOTODB.DB")});
    computed.open();
    QVERIFY(computed.isLive());
    computed.edit();
    QCOMPARE(errorOf([&] { computed.setValue(QStringLiteral("U"), QStringLiteral("x")); }),
             QStringLiteral("Field 'U' cannot be modified."));
    computed.setValue(QStringLiteral("NAME"), QStringLiteral("b"));
    computed.post();
    QCOMPARE(computed.asString(QStringLiteral("U")), QStringLiteral("B"));
}

void TestEngineEdit::rowsWrittenElsewhereAreFound()
{
    PhotoDbFixture db;
    db.addKeyword(QStringLiteral("b"), 1);
    Table keywords;
    keywords.setDatabaseName(db.dir());
    keywords.setTableName(QStringLiteral("KEYWORD.DB"));
    keywords.open();
    db.addKeyword(QStringLiteral("a"), 2); // through another data set
    db.addKeyword(QStringLiteral("c"), 3);
    QVERIFY(keywords.findKey({QStringLiteral("c")}));
    QCOMPARE(keywords.recordCount(), 3);
    QCOMPARE(keywords.asInteger(QStringLiteral("COUNT")), 3);
    keywords.first();
    QCOMPARE(keywords.asString(QStringLiteral("KEYWORD")), QStringLiteral("a"));
    // Refreshing keeps the current record, wherever it now stands.
    keywords.next();
    db.addKeyword(QStringLiteral("0"), 0);
    keywords.refresh();
    QCOMPARE(keywords.asString(QStringLiteral("KEYWORD")), QStringLiteral("b"));
    QCOMPARE(keywords.recNo(), 2);
}

void TestEngineEdit::closingDropsAPendingEdit()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), "1");
    Query album;
    int cancels = 0;
    album.afterCancel = [&](DataSet &) { ++cancels; };
    openAlbum(album, db.dir());
    album.edit();
    album.setValue(QStringLiteral("NAME"), QStringLiteral("b"));
    album.setSql({QStringLiteral("select * from PHOTODB.DB where NAME='b'")}); // closes
    QCOMPARE(cancels, 1);
    QVERIFY(!album.active());
    QCOMPARE(db.rows({"select NAME from PHOTODB.DB"}), QStringList{"a"});
}

QTEST_GUILESS_MAIN(TestEngineEdit)
#include "tst_engine_edit.moc"
