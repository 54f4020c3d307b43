#include "album/record_maintenance.h"
#include "base/regutl.h"
#include "base/settings_store.h"
#include "import/file_list_box.h"
#include "import/tformselector.h"
#include "main/main_window_album.h"
#include "main/tformmain.h"
#include "maintenance/library_check.h"
#include "picture/picture_fit.h"
#include "support/engine_error_text.h"
#include "support/exif_fixtures.h"
#include "support/file_permissions.h"
#include "support/jpeg_fixtures.h"
#include "support/photo_db_fixture.h"
#include "support/scripted_prompter.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTableView>
#include <QtTest>

#include <unistd.h>

using namespace pictavo;
using pictavo::test::PhotoDbFixture;

namespace {

QByteArray markedPhoto(int width, int height)
{
    fixtures::JpegOptions options;
    options.solid = 0x0000ff;
    options.markedCorner = 0xff0000;
    options.quality = 95;
    options.fullChroma = true;
    return fixtures::makeJpeg(width, height, options);
}

bool redAt(const QImage &image, QPoint p)
{
    const QColor c = image.pixelColor(p);
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// Drags the paths over the widget and drops them, as a file manager does; true when the
// widget took them.
bool dropOn(QWidget *widget, const QStringList &paths)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    mime.setUrls(urls);
    const QPoint at = widget->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
    return drop.isAccepted();
}

QStringList selectedNames(const FileListBox *list)
{
    QStringList names;
    for (const ImportEntry &entry : list->entries())
        if (entry.selected)
            names << entry.name;
    return names;
}

} // namespace

// The main window's additions for a library in daily use: photos shown upright, a backup
// from the File menu, files dropped from a file manager.
class TestFormMainMaintenance : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void taggedPhotoShownUpright();
    void backupFromTheFileMenu();
    void exportSetFromTheFileMenu();
    void dropOpensTheImportWindowSelected();
    void readOnlyLibraryBrowsesAndRefusesWrites();

private:
    void openWindow();
    std::unique_ptr<QTemporaryDir> m_settings;
    std::unique_ptr<PhotoDbFixture> m_db;
    std::unique_ptr<TformMain> m_form;
    std::unique_ptr<MainWindowAlbum> m_album;
    std::unique_ptr<TformSelector> m_selector;
    ScriptedPrompter m_prompter;
};

void TestFormMainMaintenance::init()
{
    m_settings = std::make_unique<QTemporaryDir>();
    SettingsStore::instance().setFilePath(m_settings->filePath(QStringLiteral("settings.json")));
    regutl::MakeKey(regutl::kSettingsKey);
    m_db = std::make_unique<PhotoDbFixture>();
    m_prompter.calls.clear();
}

void TestFormMainMaintenance::cleanup()
{
    m_selector.reset();
    m_album.reset();
    m_form.reset();
    QCOMPARE(m_prompter.pendingAnswers(), 0);
}

void TestFormMainMaintenance::openWindow()
{
    SettingsStore::instance().writeStrings(QStringLiteral("\\software\\Orbelin_PV\\formMain"),
                                           {{QStringLiteral("Database_Name"), m_db->dir()},
                                            {QStringLiteral("Width"), QStringLiteral("800")},
                                            {QStringLiteral("Height"), QStringLiteral("600")}});
    m_form = std::make_unique<TformMain>(m_prompter);
    m_album = std::make_unique<MainWindowAlbum>(*m_form);
    m_selector = std::make_unique<TformSelector>(*m_album, m_prompter, m_form.get());
    m_form->setSelector(m_selector.get());
    m_form->show();
    if (!QTest::qWaitForWindowExposed(m_form.get()))
        qFatal("window not shown");
}

void TestFormMainMaintenance::taggedPhotoShownUpright()
{
    // Landscape pixels that the camera marked "turn a quarter clockwise": a portrait.
    const QByteArray jpeg = fixtures::withExifOrientation(markedPhoto(1600, 1200), 6);
    m_db->addPhoto(QString(), QStringLiteral("portrait"), QStringLiteral("k"), jpeg);
    openWindow();
    const QSize area = m_form->scrollboxViewArea->size();
    const QRect fitted = FitAndCentrePicture(QSize(1200, 1600), area);
    QVERIFY(fitted.height() > fitted.width());
    QCOMPARE(m_form->imageViewArea->geometry(), fitted);
    QImage shown = m_form->imageViewArea->pixmap().toImage();
    QCOMPARE(shown.size(), fitted.size());
    // The red top left corner of the stored pixels is now at the top right.
    QVERIFY(redAt(shown, QPoint(shown.width() * 3 / 4, shown.height() / 4)));
    QVERIFY(!redAt(shown, QPoint(shown.width() / 4, shown.height() / 4)));

    m_form->menuOptionAutoScaleClick(); // 1/1
    shown = m_form->imageViewArea->pixmap().toImage();
    QCOMPARE(shown.size(), QSize(1200, 1600));
    QVERIFY(redAt(shown, QPoint(900, 400)));
    QVERIFY(!redAt(shown, QPoint(300, 400)));
    // What is stored is the camera's file, byte for byte.
    QCOMPARE(m_form->imageTmp.jpeg(), jpeg);
}

void TestFormMainMaintenance::backupFromTheFileMenu()
{
    m_db->addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), markedPhoto(64, 48));
    m_db->addKeyword(QStringLiteral("k"), 1);
    openWindow();

    // Right after "Open Database(&O)...", the rest of the menu as it was.
    QStringList captions;
    const QList<QAction *> items = m_form->menuBar()->actions().first()->menu()->actions();
    for (QAction *action : items)
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(captions,
             (QStringList{"New Database(&N)...", "Open Database(&O)...", "Backup Database(&B)...",
                          "-", "Inport(&I)", "Delete(&D)...", "Export(&E)", "-", "Exit(&X)"}));

    QTemporaryDir target;
    const QString dest = target.filePath(QStringLiteral("new/backup"));
    m_prompter.answerPath(dest);
    m_form->menuFileBackup->trigger();
    QCOMPARE(m_prompter.last().kind, Prompter::Kind::Information);
    QCOMPARE(m_prompter.last().text,
             QStringLiteral("Backup is completed in \"%1\".\r1 photos are checked.").arg(dest));
    QVERIFY(checkLibrary(dest).sound());
    QCOMPARE(checkLibrary(dest).photos, 1);
    QVERIFY(m_form->menuBar()->isEnabled() && m_form->centralWidget()->isEnabled());
    QVERIFY(!m_form->progressbarBackup->isVisible());
    QCOMPARE(m_form->progressbarBackup->value(), 100);

    // The new copy is cut short while it is checked, as a disk pulled out or a process
    // ignoring the locks would do it: the check's read through its memory map meets a
    // real SIGBUS. The program reports it, and the earlier backup stays as it was.
    QFile earlier(QDir(dest).filePath(QStringLiteral("photodb.db")));
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    const QByteArray earlierBytes = earlier.readAll();
    earlier.close();
    for (const char *name : {"b", "c", "d"})
        m_db->addPhoto(QString(), QLatin1String(name), QStringLiteral("k"), markedPhoto(640, 480));
    bool cut = false;
    const QMetaObject::Connection cutter =
        connect(m_form->progressbarBackup, &QProgressBar::valueChanged, [&](int percent) {
            // Past 90 the copy is complete and its check has read a photo.
            if (cut || percent <= 90)
                return;
            const QStringList work = QDir(dest).entryList({QStringLiteral(".pictavo-backup-*")},
                                                          QDir::Dirs | QDir::Hidden);
            QCOMPARE(work.size(), 1);
            const QString copy = QDir(dest).filePath(work[0] + QStringLiteral("/photodb.db"));
            QCOMPARE(::truncate(QFile::encodeName(copy).constData(), 0), 0);
            cut = true;
        });
    m_prompter.answerPath(dest);
    m_form->menuFileBackup->trigger();
    disconnect(cutter);
    QVERIFY(cut);
    QCOMPARE(m_prompter.last().kind, Prompter::Kind::Error);
    QCOMPARE(m_prompter.last().text,
             QStringLiteral("The backup did not pass the check: photodb.db: a page could not be "
                            "read (a read error, or the file was cut short while it was read)"));
    QVERIFY(m_form->menuBar()->isEnabled() && m_form->centralWidget()->isEnabled());
    QCOMPARE(QDir(dest).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{"keyword.db", "photodb.db"}));
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QVERIFY(earlier.readAll() == earlierBytes);
    earlier.close();

    // A folder that cannot be made: the error is shown, the window is usable again.
    writeFile(target.filePath(QStringLiteral("file")), "x");
    m_prompter.answerPath(target.filePath(QStringLiteral("file/backup")));
    m_form->menuFileBackup->trigger();
    QCOMPARE(m_prompter.last().kind, Prompter::Kind::Error);
    QVERIFY(m_prompter.last().text.startsWith(QStringLiteral("Could not create the folder")));
    QVERIFY(m_form->menuBar()->isEnabled() && m_form->centralWidget()->isEnabled());
    QVERIFY(!m_form->progressbarBackup->isVisible());
}

void TestFormMainMaintenance::exportSetFromTheFileMenu()
{
    for (const char *name : {"a", "b", "c"})
        m_db->addPhoto(QString(), QLatin1String(name), QStringLiteral("sea,猫"),
                       markedPhoto(64, 48));
    openWindow();
    // Under "Export(&E)", after "Current photo(&C)...".
    const auto *exportMenu =
        qobject_cast<QMenu *>(m_form->menuFileExportCurrent->associatedObjects().value(0));
    QCOMPARE(exportMenu->actions(),
             (QList<QAction *>{m_form->menuFileExportCurrent, m_form->menuFileExportSet}));
    QCOMPARE(m_form->menuFileExportSet->text(), "All photos of the set(&A)...");
    QTemporaryDir out;
    writeFile(out.filePath("b.jpg"), "old");
    // Asked once for the whole set; No keeps the file that is there and writes the others.
    m_prompter.answerPath(out.path());
    m_prompter.tickOption = true;
    m_prompter.answer(Prompter::No);
    m_form->menuFileExportSet->trigger();
    QCOMPARE(m_prompter.calls[0].option,
             "Write the keywords to a sidecar file (.xmp) beside each photo");
    QCOMPARE(m_prompter.texts(),
             QStringList({"1 of the files are already in \"" + out.path() +
                              "\" (\"b.jpg\" among them).\rDo you overwrite them? No keeps them "
                              "and writes the others.",
                          "Exported to \"" + out.path() +
                              "\": 2 written, 0 without photo, 1 not replaced, 0 failed.\r"
                              "b.jpg: already there, not replaced"}));
    QCOMPARE(m_prompter.last().kind, Prompter::Kind::Warning);
    QVERIFY(QFile::exists(out.filePath("c.jpg.xmp")) && !QFile::exists(out.filePath("b.jpg.xmp")));
    QVERIFY(!m_form->progressbarExport->isVisible() && m_form->menuBar()->isEnabled());

    // Stop, pressed while the first photo is written; the sidecar box is ticked as left.
    connect(m_form->progressbarExport, &QProgressBar::valueChanged, m_form->bitbtnStopExport,
            &QPushButton::click);
    m_prompter.calls.clear();
    m_prompter.answerPath(out.path());
    m_prompter.answer(Prompter::Yes);
    m_form->menuFileExportSet->trigger();
    QVERIFY(m_prompter.calls[0].ticked);
    QCOMPARE(m_prompter.last().text,
             "Exported to \"" + out.path() +
                 "\": 1 written, 0 without photo, 0 not replaced, 0 failed.\r"
                 "Stopped before the end of the set.");
    QCOMPARE(QFile(out.filePath("b.jpg")).size(), 3);
}

void TestFormMainMaintenance::dropOpensTheImportWindowSelected()
{
    openWindow();
    QTemporaryDir folder, other;
    for (const char *name : {"a.jpg", "b.JPG", "c.jpeg"})
        writeFile(folder.filePath(QLatin1String(name)), markedPhoto(40, 30));
    writeFile(folder.filePath(QStringLiteral("notes.txt")), "text");
    writeFile(other.filePath(QStringLiteral("x.jpg")), markedPhoto(40, 30));

    // Files of another folder and a file that is no JPEG are not selected.
    QVERIFY(dropOn(m_form.get(), {folder.filePath("a.jpg"), other.filePath("x.jpg"),
                                  folder.filePath("c.jpeg"), folder.filePath("notes.txt")}));
    // The import window opens once the drop has ended; this looks at it there.
    bool inspected = false;
    QStringList afterFolderDrop;
    QTimer::singleShot(0, m_selector.get(), [&] {
        auto close = qScopeGuard([&] { m_selector->reject(); });
        inspected = true;
        QVERIFY(m_selector->isVisible());
        QCOMPARE(m_selector->listboxFile->directory(), QDir(folder.path()).absolutePath());
        QCOMPARE(selectedNames(m_selector->listboxFile), (QStringList{"a.jpg", "c.jpeg"}));
        QVERIFY(m_selector->imageViewArea->isVisible()); // the first one previewed
        QVERIFY(m_selector->bitbtnAppend->isEnabled());
        // A folder dropped on the import window selects all its JPEG files.
        close.dismiss();
        QVERIFY(dropOn(m_selector.get(), {folder.path()}));
        QTimer::singleShot(0, m_selector.get(), [&] {
            afterFolderDrop = selectedNames(m_selector->listboxFile);
            m_selector->reject();
        });
    });
    QTRY_VERIFY(inspected);
    QTRY_VERIFY(!m_selector->isVisible());
    QCOMPARE(afterFolderDrop, (QStringList{"a.jpg", "b.JPG", "c.jpeg"}));
    // Nothing was imported without "Inport".
    QCOMPARE(m_form->queryAlbum.recordCount(), 0);
    QVERIFY(QFile::exists(folder.filePath("a.jpg")));

    // Something that is not a file is refused at the door.
    QMimeData text;
    text.setText(QStringLiteral("hello"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_form.get(), &enter);
    QVERIFY(!enter.isAccepted());
}

// A library on a disk that cannot be written opens, says so in the status bar, and every
// command that would write refuses with the reason, leaving no edit behind.
void TestFormMainMaintenance::readOnlyLibraryBrowsesAndRefusesWrites()
{
    m_db->addPhoto(QString(), QStringLiteral("a"), QStringLiteral("sky"), markedPhoto(64, 48));
    for (const char *file : {"photodb.db", "keyword.db"})
        QVERIFY(QFile::setPermissions(QDir(m_db->dir()).filePath(file), QFile::ReadOwner));
    QVERIFY(QFile::setPermissions(m_db->dir(), QFile::ReadOwner | QFile::ExeOwner));
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(m_db->dir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    const test::FilePermissionsApply permissions;
    if (!permissions.active())
        QSKIP("file permissions cannot be made to bind this process");
    openWindow();
    QVERIFY(m_form->labelReadOnly && m_form->labelReadOnly->isVisible());
    QCOMPARE(m_form->editCounter->text(), "1");
    QVERIFY(!(m_form->dbgridAlbum->model()->flags(m_form->dbgridAlbum->model()->index(0, 3)) &
              Qt::ItemIsEditable));
    const QString refusal =
        "The library in \"" + m_db->dir() + "\" is read-only: its files cannot be written.";
    m_form->menuFileDelete->trigger();
    m_form->menuFileInportFile->trigger();
    QCOMPARE(m_prompter.texts(), (QStringList{refusal, refusal}));
    CountView(m_form->queryAlbum); // views go uncounted, without an error
    QCOMPARE(test::errorOf([&] { m_form->queryAlbum.edit(); }), refusal);
    QCOMPARE(m_form->queryAlbum.state(), DataSet::State::Browse);
    QVERIFY(!m_form->RecordModified);
}

QTEST_MAIN(TestFormMainMaintenance)
#include "tst_tformmain_maintenance.moc"
