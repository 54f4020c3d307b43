#include "base/regutl.h"
#include "base/settings_store.h"
#include "main/tformmain.h"
#include "picture/display_picture.h"
#include "picture/picture_fit.h"
#include "slide/tformslide.h"
#include "support/jpeg_fixtures.h"
#include "support/photo_db_fixture.h"
#include "support/scripted_prompter.h"
#include "widgets/db_navigator.h"
#include "widgets/draw_picture.h"

#include <QAbstractItemModel>
#include <QLabel>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <functional>

using namespace pictavo;
using pictavo::fixtures::makeJpeg;
using pictavo::test::PhotoDbFixture;

namespace {

QByteArray photo(int width, int height, quint32 seed)
{
    fixtures::JpegOptions options;
    options.seed = seed;
    return makeJpeg(width, height, options);
}

// A scripted prompter that also lets the test look at the windows when a box comes up.
class WatchingPrompter : public ScriptedPrompter
{
public:
    Button message(Kind kind, const QString &text, Buttons buttons) override
    {
        if (onMessage)
            onMessage();
        return ScriptedPrompter::message(kind, text, buttons);
    }
    std::function<void()> onMessage;
};

// Every picture the slide puts on screen, with the record the album stood on: the
// picture is shown again after each draw.
class SlideRecorder : public QObject
{
public:
    SlideRecorder(TformSlide &slide, const DataSet &album) : m_album(album)
    {
        slide.imageViewArea->installEventFilter(this);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            const QPixmap pixmap = static_cast<QLabel *>(watched)->pixmap();
            if (records.isEmpty() || pixmap.cacheKey() != m_lastKey) {
                records.append(m_album.recNo());
                images.append(pixmap.toImage());
                m_lastKey = pixmap.cacheKey();
            }
        }
        return false;
    }
    QList<int> records;
    QList<QImage> images;

private:
    const DataSet &m_album;
    qint64 m_lastKey = 0;
};

// What drawing the photo in an area of that size shows when every decode is made there
// and then, without a look-ahead.
QImage directDrawing(const QByteArray &jpeg, QSize area, QRect *placed = nullptr)
{
    QScrollArea scroll;
    scroll.resize(area);
    auto *label = new QLabel;
    setUpPictureArea(&scroll, label);
    DisplayPicture picture;
    picture.setJpeg(jpeg);
    DrawPicture(picture, label, &scroll, true);
    if (placed)
        *placed = label->geometry();
    return label->pixmap().toImage();
}

} // namespace

// The slide window and the slideshow through the main window's commands.
class TestFormSlide : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void waitTimeEntry_data();
    void waitTimeEntry();
    void showRunsFromCurrentToLast_data();
    void showRunsFromCurrentToLast();
    void clickDuringSecondWait();
    void slideFittedAndFullSize();
    void newKeywordQuestionHoldsTheShow();
    void nothingToShow();
    void lookAheadShowsWhatDirectDecodesShow();

private:
    TformMain &openWindow(bool withDatabase = true);
    QList<int> counts() const;

    std::unique_ptr<QTemporaryDir> m_settings;
    std::unique_ptr<PhotoDbFixture> m_db;
    std::unique_ptr<TformMain> m_form;
    TformSlide *m_slide = nullptr;
    WatchingPrompter m_prompter;
};

void TestFormSlide::init()
{
    m_settings = std::make_unique<QTemporaryDir>();
    SettingsStore::instance().setFilePath(m_settings->filePath(QStringLiteral("settings.json")));
    regutl::MakeKey(regutl::kSettingsKey);
    m_db = std::make_unique<PhotoDbFixture>();
    m_prompter.calls.clear();
    m_prompter.onMessage = nullptr;
}

void TestFormSlide::cleanup()
{
    m_form.reset();
    QCOMPARE(m_prompter.pendingAnswers(), 0);
}

TformMain &TestFormSlide::openWindow(bool withDatabase)
{
    SettingsStore::instance().writeStrings(
        QStringLiteral("\\software\\Orbelin_PV\\formMain"),
        {{QStringLiteral("Database_Name"), withDatabase ? m_db->dir() : QString()},
         {QStringLiteral("Width"), QStringLiteral("640")},
         {QStringLiteral("Height"), QStringLiteral("480")}});
    m_form = std::make_unique<TformMain>(m_prompter);
    m_slide = new TformSlide(m_prompter, m_form.get());
    m_form->setSlide(m_slide);
    m_form->show();
    if (!QTest::qWaitForWindowExposed(m_form.get()))
        qFatal("window not shown");
    return *m_form;
}

QList<int> TestFormSlide::counts() const
{
    QList<int> out;
    for (const QString &row : m_db->rows({QStringLiteral("select COUNT from PHOTODB.DB ;")}))
        out << row.toInt();
    return out;
}

void TestFormSlide::waitTimeEntry_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<int>("seconds");
    QTest::newRow("above the range") << "15" << false << 10;
    QTest::newRow("below the range") << "-3" << false << 0;
    QTest::newRow("not a number") << "abc" << false << 3;
    QTest::newRow("a fraction") << "2.5" << false << 3;
    QTest::newRow("spaces around") << " 8 " << false << 8;
    QTest::newRow("the upper bound") << "10" << false << 10;
    QTest::newRow("zero") << "0" << false << 0;
    QTest::newRow("emptied") << "" << false << 5;
    QTest::newRow("cancelled") << "" << true << 5;
}

void TestFormSlide::waitTimeEntry()
{
    QFETCH(QString, answer);
    QFETCH(bool, cancel);
    QFETCH(int, seconds);
    TformMain &form = openWindow(false);
    form.SetWaitTime(5);
    if (cancel)
        m_prompter.answerCancel();
    else
        m_prompter.answerText(answer);
    form.menuOptionWaitTime->trigger();
    const ScriptedPrompter::Call &asked = m_prompter.last();
    QCOMPARE(asked.type, ScriptedPrompter::CallType::InputText);
    QCOMPARE(asked.title, QStringLiteral("Slideshow wait time entry"));
    QCOMPARE(asked.text, QStringLiteral("Enter wait time in seconds between 0 to 10."));
    QCOMPARE(asked.fileName, QStringLiteral("5"));
    QCOMPARE(form.waitTime(), seconds);
    QCOMPARE(form.menuOptionWaitTimeValue->text(),
             QStringLiteral("Wait Time: %1 sec.").arg(seconds));
    QCOMPARE(form.timerWaitTime->interval(), seconds * 1000);
    QVERIFY(!form.timerWaitTime->isActive());
    // Kept for the next run.
    m_form.reset();
    QCOMPARE(SettingsStore::instance().readString(
                 QStringLiteral("\\software\\Orbelin_PV\\formMain"), QStringLiteral("Wait_Time")),
             QString::number(seconds));
}

void TestFormSlide::showRunsFromCurrentToLast_data()
{
    QTest::addColumn<QList<bool>>("photos"); // false: a record whose photo has no bytes
    QTest::addColumn<int>("start");          // -1: reached with the Last button
    QTest::addColumn<int>("wait");
    QTest::addColumn<QList<int>>("shown");

    const QList<bool> three{true, true, true};
    QTest::newRow("wait 0") << three << 0 << 0 << QList<int>{0, 1, 2};
    QTest::newRow("three records, no click") << three << 0 << 1 << QList<int>{0, 1, 2};
    QTest::newRow("started on the second") << three << 1 << 1 << QList<int>{1, 2};
    QTest::newRow("started on the last") << three << 2 << 1 << QList<int>{2};
    QTest::newRow("last reached by the Last button") << three << -1 << 0 << QList<int>{2};
    QTest::newRow("no photo in the middle")
        << QList<bool>{true, false, true} << 0 << 1 << QList<int>{0, 2};
    QTest::newRow("no photo at the end")
        << QList<bool>{true, true, false, false} << 0 << 0 << QList<int>{0, 1};
}

void TestFormSlide::showRunsFromCurrentToLast()
{
    QFETCH(QList<bool>, photos);
    QFETCH(int, start);
    QFETCH(int, wait);
    QFETCH(QList<int>, shown);
    for (int i = 0; i < photos.size(); ++i) {
        const QString name = QStringLiteral("p%1").arg(i);
        m_db->addPhoto(QString(), name, QStringLiteral("sky"), photo(900, 600, quint32(i + 1)));
        if (!photos[i])
            m_db->emptyPhoto(name);
    }
    m_db->addKeyword(QStringLiteral("sky"), 1);
    TformMain &form = openWindow();
    SlideRecorder recorder(*m_slide, form.queryAlbum);
    form.SetWaitTime(wait);
    form.timerWaitTime->setInterval(wait * 40); // short waits, seconds in the program
    if (start < 0)
        form.navigatorMove->click(DbNavigator::Last);
    else
        form.queryAlbum.moveTo(start);

    form.menuDisplaySlideshow->trigger();
    QCOMPARE(recorder.records, shown);
    QList<int> expected(photos.size(), 0);
    for (int row : shown)
        expected[row] = 1;
    QCOMPARE(counts(), expected);
    QCOMPARE(form.queryAlbum.recNo(), int(photos.size()) - 1);
    QVERIFY(!m_slide->isVisible());
    QVERIFY(!form.slideshow().running());
    QVERIFY(m_prompter.calls.isEmpty());
}

void TestFormSlide::clickDuringSecondWait()
{
    for (int i = 0; i < 3; ++i)
        m_db->addPhoto(QString(), QStringLiteral("p%1").arg(i), QStringLiteral("sky"),
                       photo(900, 600, quint32(i + 1)));
    m_db->addKeyword(QStringLiteral("sky"), 1);
    TformMain &form = openWindow();
    SlideRecorder recorder(*m_slide, form.queryAlbum);
    form.SetWaitTime(2);
    form.timerWaitTime->setInterval(300);
    bool clickedInWait = false;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, this, [&] {
        if (form.queryAlbum.recNo() == 1 && m_slide->isVisible() && !clickedInWait) {
            clickedInWait = form.timerWaitTime->isActive();
            QTest::mouseClick(m_slide->scrollboxViewArea->viewport(), Qt::LeftButton);
        }
    });
    poll.start();
    form.menuDisplaySlideshow->trigger();
    poll.stop();
    QVERIFY(clickedInWait);
    QCOMPARE(recorder.records, QList<int>({0, 1}));
    QCOMPARE(counts(), QList<int>({1, 0, 0}));
    QCOMPARE(form.queryAlbum.recNo(), 1);
    QVERIFY(!m_slide->isVisible());
    // The next show starts afresh from where the last one stopped.
    form.timerWaitTime->setInterval(10);
    form.menuDisplaySlideshow->trigger();
    QCOMPARE(counts(), QList<int>({1, 1, 1}));
    QCOMPARE(form.queryAlbum.recNo(), 2);
}

void TestFormSlide::slideFittedAndFullSize()
{
    m_db->addPhoto(QString(), QStringLiteral("wide"), QStringLiteral("sky"), photo(1600, 1000, 7));
    m_db->addKeyword(QStringLiteral("sky"), 1);
    TformMain &form = openWindow();
    const QRect screen = form.screen()->geometry();
    QVERIFY(screen.width() < 1600 && screen.height() < 1000);

    // Auto: fitted, centred, on black, no scroll bars.
    form.menuDisplaySlide->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(m_slide));
    QCOMPARE(m_slide->geometry(), screen);
    QVERIFY(m_slide->windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(m_slide->windowTitle(), QStringLiteral("Slide"));
    QCOMPARE(m_slide->imageViewArea->geometry(),
             FitAndCentrePicture(QSize(1600, 1000), screen.size()));
    QVERIFY(!m_slide->scrollboxViewArea->horizontalScrollBar()->isVisible());
    QVERIFY(!m_slide->scrollboxViewArea->verticalScrollBar()->isVisible());
    const QImage grabbed = m_slide->grab().toImage();
    QCOMPARE(grabbed.pixelColor(2, 2), QColor(Qt::black));
    QCOMPARE(counts(), QList<int>{1});
    QTest::mouseClick(m_slide->imageViewArea, Qt::LeftButton);
    QVERIFY(!m_slide->isVisible());

    // 1/1: the whole photo from the top left corner, with scroll bars; counted again.
    form.menuOptionAutoScale->trigger();
    form.menuDisplaySlide->trigger();
    QCOMPARE(m_slide->imageViewArea->geometry(), QRect(0, 0, 1600, 1000));
    QCOMPARE(m_slide->imageViewArea->pixmap().size(), QSize(1600, 1000));
    QTRY_VERIFY(m_slide->scrollboxViewArea->horizontalScrollBar()->isVisible());
    QTRY_VERIFY(m_slide->scrollboxViewArea->verticalScrollBar()->isVisible());
    QCOMPARE(counts(), QList<int>{2});
    QTest::keyClick(m_slide, Qt::Key_Escape);
    QVERIFY(!m_slide->isVisible());

    // A click on the main window's photo is the Slide command.
    QTest::mouseClick(form.imageViewArea, Qt::LeftButton);
    QVERIFY(m_slide->isVisible());
    QCOMPARE(counts(), QList<int>{3});
    QTest::mouseClick(m_slide->scrollboxViewArea->viewport(), Qt::LeftButton, {}, QPoint(1, 1));
    QVERIFY(!m_slide->isVisible());
    QVERIFY(m_prompter.calls.isEmpty());
}

void TestFormSlide::newKeywordQuestionHoldsTheShow()
{
    m_db->addPhoto(QString(), QStringLiteral("a"), QStringLiteral("sky"), photo(900, 600, 1));
    m_db->addPhoto(QString(), QStringLiteral("b"), QStringLiteral("sky,reef"), photo(900, 600, 2));
    m_db->addPhoto(QString(), QStringLiteral("c"), QStringLiteral("reef"), photo(900, 600, 3));
    m_db->addKeyword(QStringLiteral("sky"), 1);
    TformMain &form = openWindow();
    form.SetWaitTime(0);
    QList<int> askedOn;
    m_prompter.onMessage = [&] {
        // The slide of the record being counted stands while the question waits.
        QVERIFY(m_slide->isVisible());
        askedOn << form.queryAlbum.recNo();
    };
    m_prompter.answer(Prompter::No);  // b: reef declined
    m_prompter.answer(Prompter::Yes); // c: asked again, accepted
    form.menuDisplaySlideshow->trigger();
    QCOMPARE(askedOn, QList<int>({1, 2}));
    QCOMPARE(m_prompter.texts(),
             QStringList(2, "\"reef\" is a new keyword. Would you append it into the database?"));
    QCOMPARE(counts(), QList<int>({1, 1, 1}));
    QCOMPARE(m_db->rows({QStringLiteral("select KEYWORD, COUNT from KEYWORD.DB ;")}),
             QStringList({"reef|1", "sky|1"}));
    QVERIFY(!m_slide->isVisible());
}

void TestFormSlide::nothingToShow()
{
    m_db->addPhoto(QString(), QStringLiteral("a"), QStringLiteral("sky"), photo(300, 200, 1));
    {
        TformMain &form = openWindow(false);
        form.menuDisplaySlide->trigger();
        form.menuDisplaySlideshow->trigger();
        QCOMPARE(m_prompter.texts(), QStringList(2, "Database is not active."));
        QCOMPARE(m_prompter.calls[0].kind, Prompter::Kind::Warning);
        QCOMPARE(m_prompter.calls[1].kind, Prompter::Kind::Warning);
    }
    m_prompter.calls.clear();
    TformMain &form = openWindow();
    form.queryAlbum.close();
    form.queryAlbum.setSql({QStringLiteral("select * from PHOTODB.DB where NAME = \"none\";")});
    form.queryAlbum.open();
    form.menuDisplaySlide->trigger();
    form.menuDisplaySlideshow->trigger();
    QCOMPARE(m_prompter.texts(), QStringList(2, "Empty record."));
    QCOMPARE(m_prompter.calls[0].kind, Prompter::Kind::Warning);
    QCOMPARE(m_prompter.calls[1].kind, Prompter::Kind::Information);
    QVERIFY(!m_slide->isVisible());
    QCOMPARE(counts(), QList<int>{0});
}

void TestFormSlide::lookAheadShowsWhatDirectDecodesShow()
{
    const QList<QSize> sizes{QSize(1600, 1200), QSize(1200, 1600), QSize(2000, 800),
                             QSize(640, 480),   QSize(1600, 1200), QSize(3000, 2000),
                             QSize(900, 900),   QSize(1280, 720)};
    QList<QByteArray> jpegs;
    for (int i = 0; i < sizes.size(); ++i) {
        jpegs << photo(sizes[i].width(), sizes[i].height(), quint32(i + 11));
        m_db->addPhoto(QString(), QStringLiteral("p%1").arg(i), QStringLiteral("sky"),
                       jpegs.last());
    }
    m_db->addKeyword(QStringLiteral("sky"), 1);
    TformMain &form = openWindow();
    const int records = int(sizes.size());
    QRandomGenerator random(4242);
    int nextMoves = 0;
    for (int step = 0; step < 80; ++step) {
        const int action = random.bounded(10);
        const int before = form.queryAlbum.recNo();
        if (action < 5) {
            form.navigatorStep->click(DbNavigator::Next);
            ++nextMoves;
        } else if (action == 5) {
            form.navigatorStep->click(DbNavigator::Prior);
        } else if (action == 6) {
            form.navigatorMove->click(random.bounded(2) ? DbNavigator::First : DbNavigator::Last);
        } else if (action == 7) {
            form.dbgridAlbum->setCurrentIndex(
                form.dbgridAlbum->model()->index(random.bounded(records), 1));
        } else if (action == 8) {
            // Full size, then on: the move returns to Auto.
            form.radioOneToOne->click();
            form.navigatorStep->click(DbNavigator::Next);
        } else {
            // Another window size: what was prepared for the old one is not used. The
            // resize brings Auto back once the layout has given the area its new size.
            QSize size(560 + random.bounded(200), 420 + random.bounded(150));
            if (size == form.size())
                size += QSize(10, 10);
            form.radioOneToOne->click();
            form.resize(size);
            QTRY_VERIFY(form.autoScale());
            QTest::qWait(20);
            continue; // redrawn from the decode held, as before; the next move decodes
        }
        if (form.queryAlbum.recNo() == before)
            continue; // no move (Next on the last record): nothing was decoded
        QRect placed;
        const QImage expected =
            directDrawing(jpegs[form.queryAlbum.recNo()], form.scrollboxViewArea->size(), &placed);
        QCOMPARE(form.imageViewArea->geometry(), placed);
        QVERIFY2(form.imageViewArea->pixmap().toImage() == expected,
                 qPrintable(QStringLiteral("step %1 (action %2), record %3, hits %4")
                                .arg(step)
                                .arg(action)
                                .arg(form.queryAlbum.recNo())
                                .arg(form.lookAhead().hits())));
    }
    // The walk must have used the look-ahead for the comparison to mean anything.
    QVERIFY(nextMoves > 20);
    QVERIFY(form.lookAhead().hits() > nextMoves / 2);

    // A show with no wait: each slide as a direct decode draws it on the screen, whether
    // the worker scaled it or this thread did.
    const int hitsBefore = form.lookAhead().hits();
    const int drawnBefore = form.lookAhead().drawnHits();
    SlideRecorder recorder(*m_slide, form.queryAlbum);
    form.navigatorMove->click(DbNavigator::First);
    form.SetWaitTime(0);
    form.menuDisplaySlideshow->trigger();
    QList<int> all;
    for (int i = 0; i < records; ++i)
        all << i;
    QCOMPARE(recorder.records, all);
    const QSize screen = form.screen()->geometry().size();
    for (int i = 0; i < records; ++i)
        QVERIFY2(recorder.images[i] == directDrawing(jpegs[i], screen),
                 qPrintable(QString::number(i)));
    QCOMPARE(form.lookAhead().hits() - hitsBefore, records - 1);
    int scaledAhead = 0; // every photo after the first that is not drawn as decoded
    for (int i = 1; i < records; ++i) {
        const QSize fitted = FitAndCentrePicture(sizes[i], screen).size();
        scaledAhead +=
            JpegDecoder::scaledSize(sizes[i], JpegDecoder::drawScale(sizes[i], fitted)) != fitted;
    }
    QVERIFY(scaledAhead > 0);
    QCOMPARE(form.lookAhead().drawnHits() - drawnBefore, scaledAhead);
}

QTEST_MAIN(TestFormSlide)
#include "tst_tformslide.moc"
