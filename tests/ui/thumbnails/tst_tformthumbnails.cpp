#include "base/regutl.h"
#include "base/settings_store.h"
#include "core/import/import_harness.h"
#include "main/main_window_album.h"
#include "main/tformmain.h"
#include "slide/tformslide.h"
#include "support/jpeg_fixtures.h"
#include "support/photo_db_fixture.h"
#include "support/scripted_prompter.h"
#include "thumbnails/tformthumbnails.h"
#include "thumbnails/thumbnail_model.h"

#include <QListView>
#include <QtTest>

using namespace pictavo;
using pictavo::test::PhotoDbFixture;
using State = ThumbnailCache::State;

namespace {

QByteArray solid(quint32 rgb)
{
    fixtures::JpegOptions options;
    options.solid = rgb;
    return fixtures::makeJpeg(400, 300, options);
}

} // namespace

// The thumbnail window over the main window, driven as a person would.
class TestFormThumbnails : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void followsFilterDeleteAndImport();
    void keysMoveAndEnterShowsSlide();

private:
    void open();
    QStringList names() const;
    QList<State> states() const;
    int recNo() const { return m_main->queryAlbum.recNo(); }

    std::unique_ptr<QTemporaryDir> m_settings;
    std::unique_ptr<PhotoDbFixture> m_db;
    ScriptedPrompter m_prompter;
    std::unique_ptr<TformMain> m_main;
    std::unique_ptr<MainWindowAlbum> m_album;
    std::unique_ptr<TformSlide> m_slide;
    std::unique_ptr<TformThumbnails> m_window;
};

void TestFormThumbnails::init()
{
    m_settings = std::make_unique<QTemporaryDir>();
    SettingsStore::instance().setFilePath(m_settings->filePath(QStringLiteral("settings.json")));
    regutl::MakeKey(regutl::kSettingsKey);
    m_db = std::make_unique<PhotoDbFixture>();
    m_db->addKeyword(QStringLiteral("k"), 1);
    m_prompter.calls.clear();
}

void TestFormThumbnails::cleanup()
{
    m_window.reset();
    m_slide.reset();
    m_album.reset();
    m_main.reset();
    // The photo that cannot be decoded brought up no box.
    for (const ScriptedPrompter::Call &call : m_prompter.calls)
        QVERIFY2(call.kind != Prompter::Kind::Error, qPrintable(call.text));
    QCOMPARE(m_prompter.pendingAnswers(), 0);
}

void TestFormThumbnails::open()
{
    SettingsStore::instance().writeStrings(QStringLiteral("\\software\\Orbelin_PV\\formMain"),
                                           {{QStringLiteral("Database_Name"), m_db->dir()}});
    m_main = std::make_unique<TformMain>(m_prompter);
    m_album = std::make_unique<MainWindowAlbum>(*m_main);
    m_slide = std::make_unique<TformSlide>(m_prompter);
    m_main->setSlide(m_slide.get());
    m_window = std::make_unique<TformThumbnails>(*m_album, m_prompter);
    m_main->setThumbnails(m_window.get());
    m_main->show();
    m_main->menuDisplayThumbnails->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->listviewThumbnails->setFocus();
}

QStringList TestFormThumbnails::names() const
{
    QStringList list;
    for (int row = 0; row < m_window->model()->rowCount(); ++row)
        list << m_window->model()->index(row).data().toString();
    return list;
}

QList<State> TestFormThumbnails::states() const
{
    QList<State> list;
    for (int row = 0; row < m_window->model()->rowCount(); ++row)
        list << State(m_window->model()->index(row).data(ThumbnailModel::StateRole).toInt());
    return list;
}

// A filter, a delete and an import in the main window show in the grid at once, with
// the current record framed; a photo that cannot be decoded gets its mark, never a box.
void TestFormThumbnails::followsFilterDeleteAndImport()
{
    for (const char *name : {"a1", "b1", "b2", "b3", "c1"})
        m_db->addPhoto("p", name, "k", solid(0x2080c0 + quint32(name[1])));
    m_db->addPhoto("p", "a2", "k", QByteArray("\xff\xd8 no picture here", 18));
    open();
    QCOMPARE(names(), QStringList({"a1", "a2", "b1", "b2", "b3", "c1"}));
    QTRY_COMPARE(states(), QList<State>({State::Shown, State::Failed, State::Shown, State::Shown,
                                         State::Shown, State::Shown}));

    Query &album = m_main->queryAlbum;
    album.setSql({QStringLiteral("select * from PHOTODB.DB where NAME like \"b%\";")});
    album.open();
    QCOMPARE(names(), QStringList({"b1", "b2", "b3"}));
    QTRY_COMPARE(states(), QList<State>({State::Shown, State::Shown, State::Shown}));
    QVERIFY(m_window->model()->index(0).data(ThumbnailModel::CurrentRole).toBool());

    // A click makes b3 current in the main window; then it is deleted there.
    QListView *view = m_window->listviewThumbnails;
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(m_window->model()->index(2)).center());
    QTRY_COMPARE(recNo(), 2);
    QCOMPARE(album.asString(QStringLiteral("NAME")), QStringLiteral("b3"));
    m_prompter.answer(Prompter::Ok);
    m_main->menuFileDeleteClick();
    QCOMPARE(names(), QStringList({"b1", "b2"}));
    QCOMPARE(view->currentIndex().row(), 1);
    QVERIFY(m_window->model()->index(1).data(ThumbnailModel::CurrentRole).toBool());

    // An import points the album at all photos; the new one's thumbnail is made from the
    // decode the import made, and kept.
    QStringList log;
    test::FakeImportHost host(log);
    ImportPipeline pipeline(*m_album, host, m_prompter);
    QTemporaryDir folder;
    fixtures::JpegOptions red;
    red.solid = 0xc04020;
    QVERIFY(fixtures::makeTestJpegFile(folder.filePath("d1.jpg"), 400, 300, red));
    pipeline.run(folder.path(), {{QStringLiteral("d1.jpg"), true}}, "p", {}, "k", false);
    QCOMPARE(names(), QStringList({"a1", "a2", "b1", "b2", "c1", "d1"}));
    QTRY_COMPARE(states().last(), State::Shown);
    const QImage made = m_window->model()->index(5).data(Qt::DecorationRole).value<QImage>();
    QCOMPARE(made.size(), QSize(160, 120));
    QCOMPARE(qRed(made.pixel(80, 60)) / 8, 0xc0 / 8);
}

// The keys move the main window's record; Enter and a double click show it as a slide
// and count the view. The window keeps its place and size.
void TestFormThumbnails::keysMoveAndEnterShowsSlide()
{
    for (int i = 0; i < 40; ++i)
        m_db->addPhoto("p", QStringLiteral("n%1").arg(i, 2, 10, QLatin1Char('0')), "k",
                       solid(quint32(i) * 0x060504));
    open();
    m_window->resize(700, 500);
    QListView *view = m_window->listviewThumbnails;
    QTRY_VERIFY(view->visualRect(m_window->model()->index(1)).top() ==
                view->visualRect(m_window->model()->index(0)).top());
    int columns = 1;
    while (view->visualRect(m_window->model()->index(columns)).top() ==
           view->visualRect(m_window->model()->index(0)).top())
        ++columns;

    const QList<std::pair<Qt::Key, int>> steps{
        {Qt::Key_Right, 1}, {Qt::Key_Down, 1 + columns}, {Qt::Key_Left, columns},
        {Qt::Key_End, 39},  {Qt::Key_Up, 39 - columns},  {Qt::Key_Home, 0}};
    for (const auto &[key, row] : steps) {
        QTest::keyClick(view, key);
        QTRY_COMPARE(recNo(), row);
        QCOMPARE(view->currentIndex().row(), row);
    }
    QTest::keyClick(view, Qt::Key_PageDown);
    QTRY_VERIFY(recNo() >= columns);
    const int paged = recNo();
    QTest::keyClick(view, Qt::Key_PageUp);
    QTRY_COMPARE(recNo(), 0);

    QTest::keyClick(view, Qt::Key_Right);
    QTest::keyClick(view, Qt::Key_Return);
    QTRY_VERIFY(m_slide->isVisible());
    QCOMPARE(recNo(), 1);
    QCOMPARE(m_main->queryAlbum.asInteger(QStringLiteral("COUNT")), 1);
    m_slide->hide();
    const QPoint third = view->visualRect(m_window->model()->index(2)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, third);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, third);
    QTRY_VERIFY(m_slide->isVisible());
    QCOMPARE(recNo(), 2);
    QCOMPARE(m_main->queryAlbum.asInteger(QStringLiteral("COUNT")), 1);
    QVERIFY(paged < 40);

    m_window->setGeometry(120, 90, 640, 480);
    const QSize size = m_window->size();
    m_window.reset();
    m_window = std::make_unique<TformThumbnails>(*m_album, m_prompter);
    QCOMPARE(m_window->size(), size);
}

QTEST_MAIN(TestFormThumbnails)
#include "tst_tformthumbnails.moc"
