#include "import_harness.h"

#include "support/jpeg_fixtures.h"

#include <QtTest>

using namespace pictavo;
using namespace pictavo::test;

Q_DECLARE_METATYPE(QList<Prompter::Button>)

namespace {

const QString kReset = QStringLiteral("SELECT * FROM PHOTODB.DB;");

QString sameImageSql(qint64 serial)
{
    return QStringLiteral("SELECT * FROM PHOTODB.DB WHERE SERIAL= %1 ;").arg(serial);
}

QString photoRow(const QString &prefix, const QString &name, const QString &keyword, qsizetype size)
{
    return QStringLiteral("%1|%2|.jpg|%3|0|%4").arg(prefix, name, keyword).arg(size);
}

} // namespace

// An import run through a real Album Query, with the questions answered by script.
class TestImportPipeline : public QObject
{
    Q_OBJECT

private slots:
    void nothingSelected();
    void oneFile();
    void nameRules_data();
    void nameRules();
    void duplicatesInOneRun();
    void sameSizeCandidates();
    void duplicateQuestions_data();
    void duplicateQuestions();
    void abortDuringThirdOfFive_data();
    void abortDuringThirdOfFive();
    void newKeywords_data();
    void newKeywords();
    void postRefused();
    void seriousError();
    void previewAlone();
};

void TestImportPipeline::nothingSelected()
{
    ImportHarness h;
    h.write(QStringLiteral("a.jpg"), smallJpeg(1));
    h.pipeline.run(h.folder.path(), {{QStringLiteral("a.jpg"), false}}, QString(), {}, QString(),
                   true);
    QCOMPARE(h.boxes(), QStringList{"warning: File is not selected.  Please select file(s)."});
    QCOMPARE(h.log, QStringList());
    QCOMPARE(h.album.query.sql().join(' '),
             QStringLiteral("SELECT * FROM PHOTODB.DB WHERE SERIAL=0;"));
    QVERIFY(h.exists(QStringLiteral("a.jpg")));
}

// A run of one file: no closing message, and every step the window sees, in order.
void TestImportPipeline::oneFile()
{
    ImportHarness h;
    const QByteArray jpeg = smallJpeg(1);
    h.write(QStringLiteral("IMG_0001.JPG"), jpeg);
    h.run({QStringLiteral("IMG_0001.JPG")}, false, QStringLiteral("Trip 2024"), {},
          QStringLiteral("k"));
    QCOMPARE(h.boxes(), QStringList());
    QCOMPARE(h.photos(), QStringList{photoRow("Trip 2024", "img_0001", "k", jpeg.size())});
    QVERIFY(h.image(1) == jpeg);
    QCOMPARE(h.fates(), QStringList{"stored 1"});
    QVERIFY(!h.outcomes[0].removed);
    QVERIFY(h.exists(QStringLiteral("IMG_0001.JPG")));
    const QStringList expected{"count 0: " + kReset,
                               "clear filter",
                               "importing",
                               "progress 0/1",
                               "preview",
                               QStringLiteral("store %1 bytes").arg(jpeg.size()),
                               "repaint",
                               "progress 1/1",
                               "input",
                               "progress 0/1",
                               "count 1: " + kReset,
                               "clear filter",
                               "idle"};
    QCOMPARE(h.log, expected);
    QCOMPARE(h.album.query.state(), DataSet::State::Browse);
}

void TestImportPipeline::nameRules_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("name"); // empty: not stored
    QTest::addColumn<QStringList>("boxes");

    const auto row = [](const char *tag, const QString &file, const QString &name,
                        const QStringList &boxes = {}) {
        QTest::newRow(tag) << file << name << boxes;
    };
    row("upper case", "IMG_0001.JPG", "img_0001");
    row("upper-case jpeg", "P.JPEG", "p");
    row("dot in the name", "Photo.Final.jpeg", "photo.final");
    row("extension twice", "a.jpg.jpg", "a");
    row("40 characters", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789WXYZ.jpg",
        "abcdefghijklmnopqrstuvwxyz012345");
    row("letters beyond A to Z", "ÄPFEL.JPG", "äpfel");
    row("non-ASCII", "Größe 日本 №1.jpg", "größe 日本 №1");
    row("only an extension", ".jpg", "",
        {"warning: Name is null string.", storeFailureQuestion("")});
    row("no extension", "noext", "", {notJpeg("noext")});
}

// The names as a run stores them (the rules themselves are tested in tst_import_names).
// With removal on: a stored file is deleted silently, a refused one stays.
void TestImportPipeline::nameRules()
{
    QFETCH(QString, file);
    QFETCH(QString, name);
    QFETCH(QStringList, boxes);
    ImportHarness h;
    const QByteArray jpeg = smallJpeg(2);
    h.write(file, jpeg);
    if (boxes.size() == 2)
        h.prompter.answer(Prompter::Yes);
    h.run({file}, true);
    QCOMPARE(h.boxes(), boxes);
    QCOMPARE(h.photos(),
             name.isEmpty() ? QStringList() : QStringList{photoRow("", name, "k", jpeg.size())});
    QCOMPARE(h.exists(file), name.isEmpty());
    if (!name.isEmpty())
        QVERIFY(h.image(1) == jpeg);
    QVERIFY(h.log.contains("refresh list"));
}

void TestImportPipeline::duplicatesInOneRun()
{
    ImportHarness h;
    const QByteArray first = smallJpeg(1);
    h.write(QStringLiteral("a.jpg"), first);
    h.write(QStringLiteral("b.jpg"), first);
    h.write(QStringLiteral("c.jpg"), smallJpeg(2));
    h.prompter.answer(Prompter::Yes);
    h.run({"a.jpg", "b.jpg", "c.jpg"}, false);
    QCOMPARE(h.boxes(), (QStringList{detected(), skipQuestion(), finished()}));
    QCOMPARE(h.fates(), (QStringList{"stored 1", "duplicate 1", "stored 2"}));
    QCOMPARE(h.photos().size(), 2);
    // Pointed at the stored photo, and with removal off not reset until the end of the run.
    QVERIFY(h.log.contains("count 1: " + sameImageSql(1)));
    QCOMPARE(h.log.filter("count").last(), "count 2: " + kReset);
    QVERIFY(!h.log.contains("refresh list"));
    QVERIFY(h.exists("a.jpg") && h.exists("b.jpg") && h.exists("c.jpg"));
}

// Equal sizes are only candidates: a changed byte makes a new photo, and the search goes
// past unequal candidates to an equal one, whatever the names.
void TestImportPipeline::sameSizeCandidates()
{
    ImportHarness h;
    const QByteArray original = smallJpeg(3);
    QByteArray changed = original;
    changed[15] = char(changed[15] ^ 0x01); // JFIF density: still the same picture
    h.db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), changed);
    h.db.addPhoto(QString(), QStringLiteral("b"), QStringLiteral("k"), original);
    h.write(QStringLiteral("other name.jpg"), original);
    h.run({"other name.jpg"}, false, QStringLiteral("P"));
    QCOMPARE(h.boxes(), QStringList{detected()});
    QCOMPARE(h.fates(), QStringList{"duplicate 2"});

    ImportHarness g;
    g.db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), original);
    g.write(QStringLiteral("changed.jpg"), changed);
    g.run({"changed.jpg"}, false);
    QCOMPARE(g.boxes(), QStringList());
    QCOMPARE(g.fates(), QStringList{"stored 2"});
    QVERIFY(g.image(2) == changed);
}

void TestImportPipeline::duplicateQuestions_data()
{
    QTest::addColumn<QStringList>("files"); // d.jpg equals the stored photo
    QTest::addColumn<bool>("remove");
    QTest::addColumn<QList<Prompter::Button>>("answers");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<bool>("kept");

    const QStringList one{"d.jpg"};
    const QStringList two{"d.jpg", "e.jpg"};
    const QString removed = "information: Removed the file \"d.jpg\".";
    QTest::newRow("one, removal off")
        << one << false << QList<Prompter::Button>{} << QStringList{detected()} << true;
    QTest::newRow("one, removed") << one << true << QList{Prompter::Yes}
                                  << QStringList{detected(), removeQuestion("d.jpg"), removed}
                                  << false;
    QTest::newRow("one, kept") << one << true << QList{Prompter::No}
                               << QStringList{detected(), removeQuestion("d.jpg")} << true;
    QTest::newRow("two, skipped and removed")
        << two << true << QList{Prompter::Yes, Prompter::Yes}
        << QStringList{detected(), skipQuestion(), removeQuestion("d.jpg"), removed, finished()}
        << false;
    QTest::newRow("two, aborted") << two << true << QList{Prompter::Abort}
                                  << QStringList{detected(), skipQuestion(), canceled("d.jpg")}
                                  << true;
}

void TestImportPipeline::duplicateQuestions()
{
    QFETCH(QStringList, files);
    QFETCH(bool, remove);
    QFETCH(QList<Prompter::Button>, answers);
    QFETCH(QStringList, boxes);
    QFETCH(bool, kept);
    ImportHarness h;
    const QByteArray stored = smallJpeg(4);
    h.db.addPhoto(QString(), QStringLiteral("d"), QStringLiteral("k"), stored);
    h.write(QStringLiteral("d.jpg"), stored);
    h.write(QStringLiteral("e.jpg"), smallJpeg(5));
    for (Prompter::Button answer : answers)
        h.prompter.answer(answer);
    h.run(files, remove);
    QCOMPARE(h.boxes(), boxes);
    QCOMPARE(h.exists("d.jpg"), kept);
    QCOMPARE(h.outcomes[0].removed, !kept);
    QCOMPARE(h.log.contains("refresh list"), remove);
    const bool aborted = answers.contains(Prompter::Abort);
    QCOMPARE(h.fates().size(), aborted ? 1 : files.size());
    // An aborted run leaves the Album Query on the stored photo.
    QCOMPARE(h.album.query.sql().join(' '), aborted ? sameImageSql(1) : kReset);
}

void TestImportPipeline::abortDuringThirdOfFive_data()
{
    QTest::addColumn<bool>("byButton"); // else by the answer Abort
    QTest::newRow("Abort button") << true;
    QTest::newRow("answer Abort") << false;
}

void TestImportPipeline::abortDuringThirdOfFive()
{
    QFETCH(bool, byButton);
    ImportHarness h;
    const QStringList files{"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"};
    for (int i = 0; i < files.size(); ++i)
        h.write(files[i], smallJpeg(10 + i));
    if (byButton) {
        // Pressed while the third file is read: seen once it is done.
        h.window.input = [&h](int entry) { h.pipeline.CancelRequested = entry == 3; };
    } else {
        h.db.addPhoto(QString(), QStringLiteral("c"), QStringLiteral("k"), smallJpeg(12));
        h.prompter.answer(Prompter::Abort);
    }
    h.run(files, true);
    QCOMPARE(h.fates(), (byButton ? QStringList{"stored 1", "stored 2", "stored 3"}
                                  : QStringList{"stored 2", "stored 3", "duplicate 1"}));
    QCOMPARE(h.boxes(), (byButton ? QStringList{canceled("c.jpg")}
                                  : QStringList{detected(), skipQuestion(), canceled("c.jpg")}));
    QCOMPARE(h.exists("a.jpg"), false);
    QCOMPARE(h.exists("c.jpg"), !byButton);
    QVERIFY(h.exists("d.jpg") && h.exists("e.jpg"));
    // Not reset: the last "count" is the third file's, not a final one.
    QCOMPARE(h.log.filter("count").size(), byButton ? 1 : 2);
    QCOMPARE(h.album.query.sql().join(' '), byButton ? kReset : sameImageSql(1));
    QCOMPARE(h.log.mid(h.log.size() - 5),
             (QStringList{"progress 3/5", "input", "progress 0/5", "refresh list", "idle"}));
}

void TestImportPipeline::newKeywords_data()
{
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QStringList>("asked");

    QTest::newRow("nothing: *") << QStringList() << QString() << "*" << QStringList{"*"};
    QTest::newRow("ticked and typed") << QStringList{"k", "sea"} << "sky"
                                      << "k,sea,sky" << QStringList{"sea", "sky"};
    QTest::newRow("typed as it stands") << QStringList() << " a, k "
                                        << " a, k " << QStringList{"a"};
}

// The Album Query's beforePost runs the new-keyword check for every photo of the run; a
// keyword accepted for the first photo is not asked about for the second.
void TestImportPipeline::newKeywords()
{
    QFETCH(QStringList, ticked);
    QFETCH(QString, typed);
    QFETCH(QString, keyword);
    QFETCH(QStringList, asked);
    ImportHarness h;
    h.write(QStringLiteral("a.jpg"), smallJpeg(1));
    h.write(QStringLiteral("b.jpg"), smallJpeg(2));
    QStringList boxes;
    for (const QString &k : asked) {
        h.prompter.answer(Prompter::Yes);
        boxes << newKeywordQuestion(k);
    }
    h.run({"a.jpg", "b.jpg"}, false, QString(), ticked, typed);
    QCOMPARE(h.boxes(), boxes << finished());
    QCOMPARE(h.db.rows({"select KEYWORD from PHOTODB.DB"}), (QStringList{keyword, keyword}));
    for (const QString &k : asked)
        QVERIFY2(h.db.rows({"select COUNT from KEYWORD.DB where KEYWORD=\"" + k + "\""}) ==
                     QStringList{"1"},
                 qPrintable(k));
}

// A post the engine refuses is cancelled, the file stays even with removal on, and the
// question names the last file stored in this run.
void TestImportPipeline::postRefused()
{
    ImportHarness h;
    h.write(QStringLiteral("a.jpg"), smallJpeg(1));
    h.write(QStringLiteral("b.jpg"), smallJpeg(2));
    h.write(QStringLiteral("c.jpg"), smallJpeg(3));
    // "k,,k" holds an empty keyword; accepting it fails the post.
    h.prompter.answer(Prompter::No);
    h.prompter.answer(Prompter::Yes);
    h.prompter.answer(Prompter::Yes);
    h.prompter.answer(Prompter::Yes);
    h.prompter.answer(Prompter::Abort);
    h.run({"a.jpg", "b.jpg", "c.jpg"}, true, QString(), {}, QStringLiteral("k,,k"));
    QCOMPARE(h.boxes(), (QStringList{newKeywordQuestion(""), newKeywordQuestion(""),
                                     storeFailureQuestion("a.jpg"), newKeywordQuestion(""),
                                     storeFailureQuestion("a.jpg"), canceled("c.jpg")}));
    const QString reason = "failed: Field 'KEYWORD' must have a value.";
    QCOMPARE(h.fates(), (QStringList{"stored 1", reason, reason}));
    QCOMPARE(h.album.query.state(), DataSet::State::Browse);
    QCOMPARE(h.album.query.recordCount(), 1);
    QCOMPARE(h.photos().size(), 1);
    QVERIFY(!h.exists("a.jpg") && h.exists("b.jpg") && h.exists("c.jpg"));
}

// A stored photo whose IMAGE is not as long as its IMAGE_SIZE says ends the search, and the
// file is stored as new.
void TestImportPipeline::seriousError()
{
    ImportHarness h;
    const QByteArray jpeg = smallJpeg(6);
    h.db.addPhoto(QString(), QStringLiteral("s"), QStringLiteral("k"), jpeg.left(100));
    Table photos;
    photos.setDatabaseName(h.db.dir());
    photos.setTableName(QStringLiteral("PHOTODB.DB"));
    photos.open();
    photos.edit();
    photos.setValue(QStringLiteral("IMAGE_SIZE"), jpeg.size());
    photos.post();
    h.write(QStringLiteral("s.jpg"), jpeg);
    h.run({"s.jpg"}, false);
    QCOMPARE(
        h.boxes(),
        QStringList{QStringLiteral("warning: Serious error.  File size(%1) and stream size(100) "
                                   "are different.")
                        .arg(jpeg.size())});
    QCOMPARE(h.fates(), QStringList{"stored 2"});
}

void TestImportPipeline::previewAlone()
{
    ImportHarness h;
    QVERIFY(!h.pipeline.PreviewFile(QString()));
    QVERIFY(h.pipeline.imageTmp.isEmpty());
    QCOMPARE(h.log, QStringList());

    const QByteArray jpeg = fixtures::makeJpeg(640, 480);
    const QString path = h.write(QStringLiteral("big.jpg"), jpeg);
    h.pipeline.previewAreas = [] { return QList<QSize>{QSize(80, 60)}; };
    QVERIFY(!h.pipeline.PreviewFile(path));
    QCOMPARE(h.pipeline.imageTmp.decoded().size, QSize(80, 60));
    QCOMPARE(h.log, QStringList{"preview"});
    // Emptied at the start and the end, running with rising percentages between.
    const auto &d = h.window.decoding;
    QVERIFY(d.size() >= 3);
    QCOMPARE(d.first(), std::pair(false, 0));
    QCOMPARE(d.last(), std::pair(false, 100));
    for (int i = 1; i + 1 < d.size(); ++i)
        QVERIFY(d[i].first && d[i].second > (i > 1 ? d[i - 1].second : 0) && d[i].second < 100);

    h.log.clear();
    const qint64 serial =
        h.db.addPhoto(QString(), QStringLiteral("big"), QStringLiteral("k"), jpeg);
    h.pipeline.previewAreas = nullptr;
    QVERIFY(h.pipeline.PreviewFile(path));
    QCOMPARE(h.pipeline.imageTmp.decoded().size, QSize(640, 480));
    QCOMPARE(h.boxes(), QStringList{detected()});
    QCOMPARE(h.log, (QStringList{"preview", "count 1: " + sameImageSql(serial), "clear filter"}));
}

QTEST_GUILESS_MAIN(TestImportPipeline)
#include "tst_import_pipeline.moc"
