#include "import_harness.h"

#include "album/record_maintenance.h"
#include "support/jpeg_fixtures.h"
#include "support/random_prompter.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

using namespace pictavo;
using namespace pictavo::test;

namespace {

// One file of a generated folder.
struct GeneratedFile
{
    QString name;
    QByteArray bytes;
    bool picture = false; // a JPEG by name that decodes
    bool selected = true;
};

QString lowerBase(const QString &name)
{
    return name.left(name.lastIndexOf(QLatin1Char('.'))).toLower();
}

// What the run must do, worked out one file after the other as the run did before it read
// ahead: the boxes with the answers they get, the records, the files removed.
struct SequentialModel
{
    QList<QByteArray> stored; // by SERIAL - 1, the photos there before the run included
    QStringList rows;         // of the records the run adds, as ImportHarness::photos()
    QStringList boxes;
    QList<Prompter::Button> answers;
    QSet<QString> removed;

    Prompter::Button ask(QRandomGenerator &random, const QString &box, Prompter::Button yes,
                         Prompter::Button no, int percentYes)
    {
        boxes << box;
        const Prompter::Button answer = int(random.bounded(100)) < percentYes ? yes : no;
        answers << answer;
        return answer;
    }

    void run(QRandomGenerator &random, const QList<GeneratedFile> &files, bool remove,
             int abortAtInput)
    {
        const int selected =
            int(std::count_if(files.begin(), files.end(), [](auto &f) { return f.selected; }));
        bool cancel = false;
        QString lastFile, lastStored;
        int inputs = 0;
        for (const GeneratedFile &file : files) {
            if (cancel)
                break;
            if (file.selected) {
                lastFile = file.name;
                const qsizetype same = stored.indexOf(file.bytes);
                if (!file.picture) {
                    boxes << notJpeg(file.name);
                } else if (same >= 0) {
                    boxes << detected();
                    if (selected >= 2 && ask(random, skipQuestion(), Prompter::Yes, Prompter::Abort,
                                             80) != Prompter::Yes)
                        cancel = true;
                    if (remove && !cancel &&
                        ask(random, removeQuestion(file.name), Prompter::Yes, Prompter::No, 50) ==
                            Prompter::Yes) {
                        boxes << QStringLiteral("information: Removed the file \"%1\".")
                                     .arg(file.name);
                        removed << file.name;
                    }
                } else if (lowerBase(file.name).isEmpty()) {
                    boxes << QStringLiteral("warning: Name is null string.");
                    if (ask(random, storeFailureQuestion(lastStored), Prompter::Yes,
                            Prompter::Abort, 80) != Prompter::Yes)
                        cancel = true;
                } else {
                    stored << file.bytes;
                    rows << QStringLiteral("P|%1|.jpg|k|0|%2")
                                .arg(lowerBase(file.name))
                                .arg(file.bytes.size());
                    lastStored = file.name;
                    if (remove)
                        removed << file.name;
                }
            }
            if (++inputs == abortAtInput)
                cancel = true;
        }
        if (selected >= 2)
            boxes << (cancel ? canceled(lastFile) : finished());
    }
};

// A folder of copies and variants of a few photos, files that are no pictures, and
// names the store refuses; some of the photos are in the database already.
QList<GeneratedFile> generateFolder(QRandomGenerator &random, const QList<QByteArray> &photos)
{
    QList<GeneratedFile> files;
    const int count = 1 + int(random.bounded(7));
    bool nameless = false;
    for (int i = 0; i < count; ++i) {
        GeneratedFile file;
        file.name = QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0'));
        file.picture = true;
        QByteArray photo = photos[int(random.bounded(int(photos.size())))];
        switch (random.bounded(10)) {
        case 0: // the same picture, other bytes of the same size
            photo[15] = char(photo[15] ^ (1 + int(random.bounded(100))));
            break;
        case 1:
            photo = QByteArray("\x89PNG\r\n\x1a\n", 8) + photo;
            file.picture = false;
            break;
        case 2:
            photo = random.bounded(2) ? QByteArray() : patternBytes(300, int(random.bounded(50)));
            file.picture = false;
            break;
        case 3: // a JPEG that a .png name makes no picture
            file.name += QStringLiteral(".png");
            file.picture = false;
            break;
        default:
            break;
        }
        if (!file.name.endsWith(QLatin1String(".png"))) {
            if (!nameless && random.bounded(12) == 0) {
                file.name.clear();
                nameless = true;
            }
            file.name += random.bounded(3) ? QStringLiteral(".jpg") : QStringLiteral(".JPEG");
        }
        file.bytes = photo;
        file.selected = random.bounded(6) != 0;
        files << file;
    }
    return files;
}

// Waits until each of the files has been closed after a read, by this process or another.
class ReadWatch
{
public:
    explicit ReadWatch(const QStringList &paths) : m_fd(inotify_init1(IN_CLOEXEC))
    {
        for (const QString &path : paths)
            m_watches << inotify_add_watch(m_fd, QFile::encodeName(path).constData(),
                                           IN_CLOSE_NOWRITE);
    }
    ~ReadWatch() { ::close(m_fd); }

    bool waitForAll(int timeoutMs)
    {
        QSet<int> seen;
        QElapsedTimer timer;
        timer.start();
        while (seen.size() < m_watches.size() && timer.elapsed() < timeoutMs) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            alignas(inotify_event) char buffer[4096];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            for (ssize_t at = 0; at < n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                seen.insert(event->wd);
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        return seen.size() == m_watches.size();
    }

private:
    int m_fd;
    QList<int> m_watches;
};

} // namespace

// The run with files read and decoded ahead on a worker thread: what the user sees, what is
// stored and what is removed are as when each file was read at its turn.
class TestImportReadAhead : public QObject
{
    Q_OBJECT

private slots:
    void randomFoldersAsSequential();
    void abortWhileDecodingAhead();
    void fileChangedAfterReadAhead_data();
    void fileChangedAfterReadAhead();
};

// Random folders, selections, answers and Abort clicks from a fixed seed: the run reading
// ahead gives the boxes, records and removals of the sequential model, and the very same
// window calls as a run that reads each file at its turn.
void TestImportReadAhead::randomFoldersAsSequential()
{
    QRandomGenerator random(monkeySeed());
    QList<QByteArray> photos;
    for (int i = 0; i < 4; ++i) {
        fixtures::JpegOptions options;
        options.seed = quint32(40 + i);
        options.progressive = i == 3;
        photos << fixtures::makeJpeg(96 + 16 * i, 64, options);
    }
    const QByteArray jpeg = photos[0];
    photos << jpeg.left(jpeg.size() * 3 / 4); // truncated: decodes with a warning

    for (int scenario = 0; scenario < 40; ++scenario) {
        const QList<GeneratedFile> files = generateFolder(random, photos);
        const bool remove = random.bounded(2);
        const int abortAtInput = int(random.bounded(int(files.size()) + 2)); // 0: never
        const int ahead = 1 + int(random.bounded(2));
        QList<qsizetype> inDatabase;
        for (qsizetype i = 0; i < photos.size(); ++i)
            if (random.bounded(4) == 0)
                inDatabase << i;
        SequentialModel model;
        for (qsizetype i : inDatabase)
            model.stored << photos[i];
        model.run(random, files, remove, abortAtInput);
        if (std::none_of(files.begin(), files.end(), [](auto &f) { return f.selected; }))
            model.boxes = {QStringLiteral("warning: File is not selected.  Please select "
                                          "file(s).")};
        const QString context = QStringLiteral("scenario %1, ahead %2").arg(scenario).arg(ahead);

        QStringList logs[2];
        for (int side = 0; side < 2; ++side) {
            ImportHarness h;
            h.pipeline.readAhead = side == 0 ? 0 : ahead;
            for (qsizetype i : inDatabase)
                h.db.addPhoto(QStringLiteral("old"), QStringLiteral("old"), QStringLiteral("k"),
                              photos[i]);
            QVector<ImportEntry> entries;
            for (const GeneratedFile &file : files) {
                h.write(file.name, file.bytes);
                entries.push_back({file.name, file.selected});
            }
            for (Prompter::Button answer : model.answers)
                h.prompter.answer(answer);
            h.window.input = [&h, abortAtInput](int input) {
                if (input == abortAtInput)
                    h.pipeline.CancelRequested = true;
            };
            h.pipeline.run(h.folder.path(), entries, QStringLiteral("P"), {}, QStringLiteral("k"),
                           remove);

            QVERIFY2(h.boxes() == model.boxes, qPrintable(context + ": " + h.boxes().join('\n')));
            QCOMPARE(h.prompter.pendingAnswers(), 0);
            const QStringList rows = h.photos().mid(inDatabase.size());
            QVERIFY2(rows == model.rows, qPrintable(context + ": " + rows.join('\n')));
            for (qsizetype i = 0; i < model.stored.size(); ++i)
                QVERIFY2(h.image(i + 1) == model.stored[i], qPrintable(context));
            for (const GeneratedFile &file : files)
                QVERIFY2(h.exists(file.name) != model.removed.contains(file.name),
                         qPrintable(context + ": " + file.name));
            logs[side] = h.log;
        }
        QVERIFY2(logs[0] == logs[1], qPrintable(context));
    }
}

// Abort taken after the first file while the worker decodes the large ones after it: they
// are neither stored nor removed, and the run ends as it always did.
void TestImportReadAhead::abortWhileDecodingAhead()
{
    ImportHarness h;
    h.pipeline.readAhead = 2;
    h.write(QStringLiteral("a.jpg"), smallJpeg(1));
    fixtures::JpegOptions options;
    options.progressive = true;
    options.grain = 30;
    const QByteArray large = fixtures::makeJpeg(2400, 1600, options);
    h.write(QStringLiteral("b.jpg"), large);
    h.write(QStringLiteral("c.jpg"), large);
    h.window.input = [&h](int input) { h.pipeline.CancelRequested = input == 1; };
    h.run({"a.jpg", "b.jpg", "c.jpg"}, true);
    QCOMPARE(h.boxes(), QStringList{canceled("a.jpg")});
    QCOMPARE(h.fates(), QStringList{"stored 1"});
    QCOMPARE(h.photos().size(), 1);
    QVERIFY(!h.exists("a.jpg") && h.exists("b.jpg") && h.exists("c.jpg"));
    QCOMPARE(h.log.filter("preview").size(), 1);
    QCOMPARE(h.log.mid(h.log.size() - 5),
             (QStringList{"progress 1/3", "input", "progress 0/3", "refresh list", "idle"}));
}

void TestImportReadAhead::fileChangedAfterReadAhead_data()
{
    QTest::addColumn<QString>("change"); // of b.jpg, once it has been read ahead
    QTest::addColumn<bool>("remove");
    QTest::newRow("deleted") << "delete" << true;
    QTest::newRow("deleted, removal off") << "delete" << false;
    QTest::newRow("rewritten") << "rewrite" << true;
    QTest::newRow("rewritten, removal off") << "rewrite" << false;
    QTest::newRow("rewritten as a.jpg") << "copy a" << false;
}

// A file changed or deleted after its bytes were read ahead and before its turn: the bytes
// read are compared and stored, it is not read again, and it is not removed.
void TestImportReadAhead::fileChangedAfterReadAhead()
{
    QFETCH(QString, change);
    QFETCH(bool, remove);
    ImportHarness h;
    h.pipeline.readAhead = 2;
    const QByteArray a = smallJpeg(1), b = smallJpeg(2), c = smallJpeg(3);
    h.write(QStringLiteral("a.jpg"), a);
    const QString bPath = h.write(QStringLiteral("b.jpg"), b);
    const QString cPath = h.write(QStringLiteral("c.jpg"), c);
    ReadWatch watch({bPath, cPath});
    bool changed = false;
    // While a.jpg is stored, b.jpg and c.jpg are read ahead.
    h.album.query.beforePost = [&](DataSet &photo) {
        CheckNewKeywords(photo, h.keywords, h.prompter);
        if (changed)
            return;
        changed = true;
        QVERIFY(watch.waitForAll(20000));
        if (change == QLatin1String("delete"))
            QVERIFY(QFile::remove(bPath));
        else
            h.write(QStringLiteral("b.jpg"),
                    change == QLatin1String("copy a") ? a : fixtures::makeJpeg(80, 60));
    };
    if (remove)
        h.prompter.answer(Prompter::Ok);
    h.run({"a.jpg", "b.jpg", "c.jpg"}, remove);
    QVERIFY(changed);
    QStringList boxes;
    // Removal: a file gone, or written to since it was read, is not what was stored.
    if (remove)
        boxes << removeFailureQuestion("b.jpg");
    QCOMPARE(h.boxes(), boxes << finished());
    QCOMPARE(h.fates(), (QStringList{"stored 1", "stored 2", "stored 3"}));
    QVERIFY(h.image(2) == b);
    QVERIFY(h.image(3) == c);
    QCOMPARE(h.exists("b.jpg"), change != QLatin1String("delete"));
    QCOMPARE(h.exists("c.jpg"), !remove);
}

QTEST_GUILESS_MAIN(TestImportReadAhead)
#include "tst_import_read_ahead.moc"
