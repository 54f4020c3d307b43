#include "db/schema.h"
#include "db/table.h"
#include "keyword/keyword_rebuild.h"
#include "keyword/keyword_replace.h"
#include "support/engine_error_text.h"
#include "support/photo_db_fixture.h"

#include <QRandomGenerator>
#include <QtTest>
#include <algorithm>
#include <sqlite3.h>
#include <string>

using namespace pictavo;
using pictavo::test::errorOf;
using pictavo::test::PhotoDbFixture;

namespace {

constexpr int kKeywordSize = 255;
const QString kRefusal = QStringLiteral("refused by the test");

// The replace as the rule states it, on code points: the first occurrence of the old text
// gives way to the new one, and what is longer than the field keeps its first 255
// characters.
QString modelReplace(const QString &keywordString, const QString &oldText, const QString &newText)
{
    std::u32string s(reinterpret_cast<const char32_t *>(keywordString.toUcs4().constData()),
                     size_t(keywordString.toUcs4().size()));
    const std::u32string o(reinterpret_cast<const char32_t *>(oldText.toUcs4().constData()),
                           size_t(oldText.toUcs4().size()));
    const std::u32string n(reinterpret_cast<const char32_t *>(newText.toUcs4().constData()),
                           size_t(newText.toUcs4().size()));
    const auto at = std::search(s.begin(), s.end(), o.begin(), o.end());
    if (at == s.end())
        return keywordString;
    s.replace(size_t(at - s.begin()), o.size(), n);
    if (s.size() > kKeywordSize)
        s.resize(kKeywordSize);
    return QString::fromUcs4(s.data(), qsizetype(s.size()));
}

// Pieces the Keyword Strings and the texts are made of: words that hold one another, case
// variants, the separator, blanks, a letter outside the first plane (two UTF-16 units).
const QStringList kPieces{"cat",      "bobcat", "Cat", "CAT", "dog",
                          ",",        " ",      "a",   "é",   QString::fromUcs4(U"\U0001D11E"),
                          "New York", "*"};

QString randomText(QRandomGenerator &rng, int maxPieces)
{
    QString text;
    const int pieces = 1 + rng.bounded(maxPieces);
    for (int i = 0; i < pieces; ++i)
        text += kPieces[rng.bounded(kPieces.size())];
    return text;
}

// A text of the given number of characters ending in old pieces, so that a replace near
// the end runs past the field's size.
QString longText(QRandomGenerator &rng, int characters)
{
    QString text;
    while (text.size() < characters)
        text += kPieces[rng.bounded(kPieces.size())];
    text = text.right(characters);
    if (text.front().isLowSurrogate()) // half a character is no text
        text[0] = QLatin1Char('a');
    return text;
}

// What the Photo Table holds, per SERIAL: every field but the photo, in one line.
QMap<qint64, QString> snapshot(const QString &dir)
{
    Table table;
    table.setDatabaseName(dir);
    table.setTableName(QStringLiteral("PHOTODB.DB"));
    table.open();
    QMap<qint64, QString> rows;
    for (table.first(); !table.eof(); table.next()) {
        QStringList fields;
        for (const char *name : {"PREFIX", "NAME", "EXT", "KEYWORD", "COUNT", "IMAGE_SIZE"})
            fields << table.asString(QLatin1String(name));
        rows.insert(table.asInteger(QStringLiteral("SERIAL")), fields.join(QChar(0x1F)));
    }
    return rows;
}

QString keywordOf(const QString &line)
{
    return line.section(QChar(0x1F), 3, 3);
}

QString withKeyword(const QString &line, const QString &keywordString)
{
    QStringList fields = line.split(QChar(0x1F));
    fields[3] = keywordString;
    return fields.join(QChar(0x1F));
}

// A trigger of the Photo Table that refuses any change to the Keyword String of one
// record (none for serial 0), so that a replace can be made to fail after other records
// were already written.
void setRefusal(const QString &dir, qint64 serial)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open((dir + QStringLiteral("/photodb.db")).toUtf8().constData(), &db),
             SQLITE_OK);
    QByteArray sql = "DROP TRIGGER IF EXISTS refuse;";
    if (serial != 0)
        sql +=
            "CREATE TRIGGER refuse BEFORE UPDATE OF KEYWORD ON photodb_record WHEN OLD.SERIAL = " +
            QByteArray::number(serial) + " BEGIN SELECT RAISE(ABORT, '" + kRefusal.toUtf8() +
            "'); END;";
    char *message = nullptr;
    const int rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, &message);
    const QString text = QString::fromUtf8(message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
    QVERIFY2(rc == SQLITE_OK, qPrintable(text));
}

} // namespace

class TestKeywordReplace : public QObject
{
    Q_OBJECT

private slots:
    void generatedReplaces();
    void refused_data();
    void refused();
    void undeclaredSizeNeverCuts();
};

// Random Keyword Strings and random replaces from a fixed seed, each checked against the
// model: every record changed as the model says and nothing else of it, the counts, the
// progress; and, when a trigger refuses the change of one record, every record as before.
void TestKeywordReplace::generatedReplaces()
{
    PhotoDbFixture db;
    QRandomGenerator rng(20261208);
    QMap<qint64, QByteArray> photos;
    constexpr int kRecords = 40;
    for (int i = 0; i < kRecords; ++i) {
        const QString keywords =
            i % 9 == 0 ? longText(rng, 240 + rng.bounded(16)) : randomText(rng, 8);
        const QByteArray image = test::patternBytes(100 + rng.bounded(3000), i);
        photos.insert(db.addPhoto("P", QString::number(i), keywords, image), image);
    }
    db.addKeyword("cat", 7);
    db.addKeyword("dog", 2);
    const QStringList keywordRows = db.rows({"select KEYWORD, COUNT from KEYWORD.DB"});

    int failures = 0;
    int failedAfterOthers = 0; // failures where other records had been written before
    int changedTotal = 0;
    for (int round = 0; round < 120; ++round) {
        const QMap<qint64, QString> before = snapshot(db.dir());
        // Mostly a piece of a stored Keyword String, so that many records match.
        QString oldText;
        if (rng.bounded(4) != 0) {
            const QString source = keywordOf(before.values()[rng.bounded(before.size())]);
            const int from = rng.bounded(source.size());
            oldText =
                source.mid(from, 1 + rng.bounded(std::min<qsizetype>(6, source.size() - from)));
            if (oldText.back().isHighSurrogate() || oldText.front().isLowSurrogate())
                oldText = QStringLiteral("cat");
        } else {
            oldText = randomText(rng, 2);
        }
        QString newText =
            rng.bounded(6) == 0 ? longText(rng, 30 + rng.bounded(60)) : randomText(rng, 3);
        // A third of the rounds refuse the change of one record, often one of the last.
        const QList<qint64> serials = before.keys();
        const qint64 refused =
            rng.bounded(3) == 0 ? serials[serials.size() - 1 - rng.bounded(serials.size()) / 3] : 0;
        setRefusal(db.dir(), refused);

        QMap<qint64, QString> expected = before;
        int expectChanged = 0;
        bool expectFailure = false;
        int changedBeforeRefused = 0;
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            const QString result = modelReplace(keywordOf(*it), oldText, newText);
            if (result == keywordOf(*it))
                continue;
            ++expectChanged;
            expectFailure = expectFailure || it.key() == refused;
            changedBeforeRefused += refused != 0 && it.key() < refused;
            *it = withKeyword(*it, result);
        }

        QList<int> progress;
        KeywordReplaceResult result;
        const QString error = errorOf([&] {
            result = replaceKeywordInPhotoTable(db.dir(), oldText, newText,
                                                [&](int visited) { progress << visited; });
        });
        const QString where =
            QStringLiteral("round %1: \"%2\" -> \"%3\"%4")
                .arg(round)
                .arg(oldText, newText,
                     refused ? QStringLiteral(" (SERIAL %1 refused)").arg(refused) : QString());
        if (expectFailure) {
            ++failures;
            QVERIFY2(error.contains(kRefusal), qPrintable(where + ": " + error));
            QVERIFY2(snapshot(db.dir()) == before, qPrintable(where));
            failedAfterOthers += changedBeforeRefused > 0;
            continue;
        }
        QVERIFY2(error.isEmpty(), qPrintable(where + ": " + error));
        QCOMPARE(result.visited, kRecords);
        QCOMPARE(result.changed, expectChanged);
        changedTotal += expectChanged;
        QList<int> oneByOne;
        for (int n = 1; n <= kRecords; ++n)
            oneByOne << n;
        QCOMPARE(progress, oneByOne);
        const QMap<qint64, QString> after = snapshot(db.dir());
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QVERIFY2(after.value(it.key()) == *it,
                     qPrintable(where + ": SERIAL " + QString::number(it.key()) + " \"" +
                                keywordOf(after.value(it.key())) + "\", expected \"" +
                                keywordOf(*it) + "\""));
    }
    // The run exercised both ways out, and changed a fair number of records.
    QVERIFY2(failures >= 5 && failedAfterOthers >= 3,
             qPrintable(QStringLiteral("%1 %2").arg(failures).arg(failedAfterOthers)));
    QVERIFY2(changedTotal >= 200, qPrintable(QString::number(changedTotal)));

    // The photos are untouched byte for byte, and the Keyword Table too.
    Table table;
    table.setDatabaseName(db.dir());
    table.setTableName(QStringLiteral("PHOTODB.DB"));
    table.open();
    for (table.first(); !table.eof(); table.next())
        QVERIFY(table.readBlob(QStringLiteral("IMAGE")) ==
                photos.value(table.asInteger(QStringLiteral("SERIAL"))));
    QCOMPARE(db.rows({"select KEYWORD, COUNT from KEYWORD.DB"}), keywordRows);
}

void TestKeywordReplace::refused_data()
{
    QTest::addColumn<QString>("oldText");
    QTest::addColumn<QString>("newText");
    QTest::addColumn<bool>("tableThere");
    QTest::addColumn<QString>("error");

    QTest::newRow("empty old text") << ""
                                    << "dog" << true << "Old Keyword is empty.";
    QTest::newRow("empty new text") << "cat"
                                    << "" << true << "New Keyword is empty.";
    QTest::newRow("no Photo Table") << "cat"
                                    << "dog" << false << "Table \"PHOTODB.DB\"";
}

// Texts that are refused change nothing; a missing table says so.
void TestKeywordReplace::refused()
{
    QFETCH(QString, oldText);
    QFETCH(QString, newText);
    QFETCH(bool, tableThere);
    QFETCH(QString, error);
    PhotoDbFixture db;
    db.addPhoto("P", "1", "cat", "x");
    if (!tableThere)
        QVERIFY(QFile::remove(db.dir() + "/photodb.db"));
    const QString text = errorOf([&] { replaceKeywordInPhotoTable(db.dir(), oldText, newText); });
    QVERIFY2(text.startsWith(error), qPrintable(text));
    if (tableThere)
        QCOMPARE(db.rows({"select KEYWORD from PHOTODB.DB"}), QStringList{"cat"});
}

// A table made by another program may declare no size for KEYWORD: no write path cuts
// its texts then (a cut to "0 characters" would empty them).
void TestKeywordReplace::undeclaredSizeNeverCuts()
{
    QTemporaryDir dir;
    Table table;
    table.setDatabaseName(dir.path());
    const auto create = [&](const QString &file, QList<FieldDef> fields, const auto &indexes) {
        for (FieldDef &field : fields)
            field.size = field.name == QLatin1String("KEYWORD") ? 0 : field.size;
        table.setTableName(file);
        table.createTable(fields, indexes);
    };
    create(schema::kKeywordTableFile, schema::keywordFields(), schema::keywordIndexes());
    create(schema::kPhotoTableFile, schema::photoFields(), schema::photoIndexes());
    const QString longKeyword = QString(300, QLatin1Char('k'));
    table.open();
    table.append();
    for (const auto &[field, value] : {std::pair<const char *, QVariant>{"NAME", "a"},
                                       {"KEYWORD", "cat," + longKeyword},
                                       {"COUNT", 0},
                                       {"IMAGE_SIZE", 2}})
        table.setValue(QLatin1String(field), value);
    table.setBlob(QStringLiteral("IMAGE"), "\xFF\xD8");
    table.post();
    QCOMPARE(replaceKeywordInPhotoTable(dir.path(), "cat", "dog").changed, 1);
    rebuildKeywordTable(dir.path());
    table.close();
    table.open();
    QCOMPARE(table.asString(QStringLiteral("KEYWORD")), "dog," + longKeyword);
    table.close();
    table.setTableName(schema::kKeywordTableFile);
    table.open();
    table.last();
    QCOMPARE(table.asString(QStringLiteral("KEYWORD")), longKeyword);
}

QTEST_GUILESS_MAIN(TestKeywordReplace)
#include "tst_keyword_replace.moc"
