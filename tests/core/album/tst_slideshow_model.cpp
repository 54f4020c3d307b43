#include "album/record_maintenance.h"
#include "album/slideshow.h"
#include "db/query.h"
#include "db/table.h"
#include "support/photo_db_fixture.h"
#include "support/scripted_prompter.h"

#include <QRandomGenerator>
#include <QTest>
#include <map>
#include <set>

using namespace pictavo;
using pictavo::test::PhotoDbFixture;

namespace {

const QStringList kKeywords{"sky", "sea", "dune", "reef"};

// Where the user clicks the slide, if at all: during the wait of the n-th photo shown,
// or in the moment after it when pending events are handled once more.
struct Click
{
    int photo = -1;
    bool duringWait = true;
};

// The windows, faked: the slide records what it shows, the timer and the click happen
// when the show hands control to the event loop.
class FakeWindows : public SlideHost
{
public:
    explicit FakeWindows(DataSet &set) : album(set) {}

    void showSlide(bool fitted) override
    {
        shown.push_back(album.recNo());
        fittedShown.push_back(fitted);
        visible = true;
    }
    void closeSlide() override
    {
        visible = false;
        ++closes;
    }
    void startWaitTimer() override { ++timersStarted; }
    void prepareNext() override { ++prepares; }
    void handleEvents(bool block) override
    {
        const int photo = int(shown.size()) - 1;
        const bool clickNow = photo == click.photo && block == click.duringWait;
        if (clickNow) {
            visible = false; // the click closes the slide
            show->stop();
            click = Click();
        } else if (block) {
            show->timeUp();
        }
    }

    DataSet &album;
    Slideshow *show = nullptr;
    Click click;
    QList<int> shown;
    std::vector<bool> fittedShown;
    bool visible = false;
    int closes = 0;
    int timersStarted = 0;
    int prepares = 0;
};

QString question(const QString &keyword)
{
    return QStringLiteral("\"%1\" is a new keyword. Would you append it into the database?")
        .arg(keyword);
}

} // namespace

// The Slide command and the slideshow driven at random over random record sets and
// checked against a model of what the user must see: which photos are shown in which
// order, which views are counted, where the album stands, which questions come up and
// whether the slide is left open.
class TestSlideshowModel : public QObject
{
    Q_OBJECT

private slots:
    void randomShowsAgainstModel();
};

void TestSlideshowModel::randomShowsAgainstModel()
{
    QRandomGenerator random(511);
    int shows = 0, clicked = 0, skipped = 0, questions = 0;
    for (int round = 0; round < 40; ++round) {
        PhotoDbFixture db;
        const int records = random.bounded(0, 7);
        std::vector<bool> hasPhoto;
        std::vector<QString> keywordsOf;
        for (int r = 0; r < records; ++r) {
            const QString name = QStringLiteral("p%1").arg(r);
            QStringList words;
            for (int k = 0, n = random.bounded(1, 3); k < n; ++k)
                words << kKeywords[random.bounded(int(kKeywords.size()))];
            keywordsOf.push_back(words.join(QLatin1Char(',')));
            db.addPhoto(QString(), name, keywordsOf.back(), test::patternBytes(300, r + 1));
            hasPhoto.push_back(random.bounded(4) != 0);
            if (!hasPhoto.back())
                db.emptyPhoto(name);
        }
        db.addKeyword(QStringLiteral("sky"), 1);
        db.addKeyword(QStringLiteral("sea"), 1);
        std::set<QString> keywordTable{"sky", "sea"};
        std::vector<int> counts(size_t(records), 0);

        ScriptedPrompter prompter;
        Query album;
        album.setDatabaseName(db.dir());
        album.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
        Table keywordTable_;
        keywordTable_.setDatabaseName(db.dir());
        keywordTable_.setTableName(QStringLiteral("KEYWORD.DB"));
        keywordTable_.open();
        album.beforePost = [&](DataSet &set) { CheckNewKeywords(set, keywordTable_, prompter); };
        if (random.bounded(8) != 0)
            album.open();

        FakeWindows windows(album);
        Slideshow show(album, windows, prompter);
        windows.show = &show;

        // What counting a view asks, answered at random, and what the table gains.
        QStringList expectedTexts;
        const auto count = [&](int row) {
            ++counts[size_t(row)];
            for (const QString &word : keywordsOf[size_t(row)].split(QLatin1Char(','))) {
                if (keywordTable.count(word))
                    continue;
                expectedTexts << question(word);
                ++questions;
                const bool yes = random.bounded(2) == 0;
                prompter.answer(yes ? Prompter::Yes : Prompter::No);
                if (yes)
                    keywordTable.insert(word);
            }
        };

        for (int step = 0; step < 6; ++step) {
            if (album.active() && records > 0) {
                switch (random.bounded(3)) {
                case 0:
                    album.moveTo(random.bounded(records));
                    break;
                case 1:
                    album.last(); // the end-of-set flag is up before any show
                    break;
                default:
                    album.first();
                }
            }
            const int start = album.active() ? album.recNo() : -1;
            windows.shown.clear();
            windows.fittedShown.clear();
            windows.closes = windows.timersStarted = 0;
            prompter.calls.clear();
            expectedTexts.clear();
            const bool startHasPhoto = start >= 0 && hasPhoto[size_t(start)];

            if (random.bounded(3) == 0) {
                // The Slide command.
                const bool fitted = random.bounded(2) == 0;
                if (!album.active())
                    expectedTexts << QStringLiteral("Database is not active.");
                else if (!startHasPhoto)
                    expectedTexts << QStringLiteral("Empty record.");
                else
                    count(start);
                show.slide(fitted);
                QCOMPARE(prompter.texts(), expectedTexts);
                QCOMPARE(windows.shown,
                         startHasPhoto && album.active() ? QList<int>{start} : QList<int>{});
                if (!windows.fittedShown.empty())
                    QCOMPARE(bool(windows.fittedShown[0]), fitted);
                if (album.active())
                    QCOMPARE(album.recNo(), start);
                windows.visible = false; // the user clicks it away
            } else {
                const int wait = random.bounded(3);
                QList<int> expectedShown;
                for (int r = start; startHasPhoto && r < records; ++r) {
                    if (hasPhoto[size_t(r)])
                        expectedShown.push_back(r);
                    else
                        ++skipped;
                }
                const bool click = !expectedShown.empty() && random.bounded(3) == 0;
                const int clickAt = click ? random.bounded(int(expectedShown.size())) : -1;
                windows.click = Click{clickAt, wait > 0 && random.bounded(4) != 0};
                if (click)
                    expectedShown.resize(clickAt + 1);
                for (qsizetype i = 0; i < expectedShown.size(); ++i)
                    if (int(i) != clickAt)
                        count(expectedShown[i]);
                if (!album.active())
                    expectedTexts.prepend(QStringLiteral("Database is not active."));
                else if (!startHasPhoto)
                    expectedTexts.prepend(QStringLiteral("Empty record."));

                show.run(wait);
                ++shows;
                clicked += click ? 1 : 0;
                QCOMPARE(prompter.texts(), expectedTexts);
                QCOMPARE(windows.shown, expectedShown);
                for (bool fitted : windows.fittedShown)
                    QVERIFY(fitted); // a show always fits
                QCOMPARE(windows.timersStarted, wait > 0 ? int(expectedShown.size()) : 0);
                QVERIFY(!windows.visible);
                QVERIFY(!show.running());
                if (!expectedShown.empty()) {
                    // Closed by the show at the end, or by the click and not again.
                    QCOMPARE(windows.closes, click ? 0 : 1);
                    QCOMPARE(album.recNo(), click ? expectedShown.back() : records - 1);
                } else {
                    QCOMPARE(windows.closes, 0);
                    if (album.active())
                        QCOMPARE(album.recNo(), start);
                }
            }
            QCOMPARE(prompter.pendingAnswers(), 0);
        }
        if (!album.active())
            album.open();
        // Every view counted where the model counted it, nowhere else.
        for (int r = 0; r < records; ++r) {
            album.moveTo(r);
            QCOMPARE(album.asInteger(QStringLiteral("COUNT")), qint64(counts[size_t(r)]));
        }
        QStringList stored;
        for (keywordTable_.first(); !keywordTable_.eof(); keywordTable_.next())
            stored << keywordTable_.asString(QStringLiteral("KEYWORD"));
        stored.sort();
        QCOMPARE(stored, QStringList(keywordTable.begin(), keywordTable.end()));
    }
    // The random walk must have reached every path for its checks to mean anything.
    QVERIFY(shows > 60);
    QVERIFY(clicked > 10);
    QVERIFY(skipped > 10);
    QVERIFY(questions > 10);
}

QTEST_GUILESS_MAIN(TestSlideshowModel)
#include "tst_slideshow_model.moc"
