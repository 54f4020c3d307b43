#include "base/regutl.h"
#include "base/settings_store.h"
#include "db/query.h"
#include "import/file_list_box.h"
#include "import/tformselector.h"
#include "main/main_window_album.h"
#include "main/tformmain.h"
#include "support/jpeg_fixtures.h"
#include "support/photo_db_fixture.h"
#include "support/random_prompter.h"
#include "support/temporary_settings.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTimer>
#include <QtTest>

using namespace pictavo;
using pictavo::test::PhotoDbFixture;
using pictavo::test::RandomPrompter;

namespace {

QSet<QByteArray> storedPhotos(const QString &dir)
{
    Query album;
    album.setDatabaseName(dir);
    album.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
    album.open();
    QSet<QByteArray> photos;
    for (album.first(); !album.eof(); album.next())
        photos.insert(album.readBlob(QStringLiteral("IMAGE")));
    return photos;
}

} // namespace

// The import window used at random for a long while, runs stopped at random and every
// question answered at random: nothing crashes, and a file that is gone from its folder
// is always stored, byte for byte.
class TestFormSelectorMonkey : public QObject
{
    Q_OBJECT

private slots:
    void randomUseLosesNoFile();
};

void TestFormSelectorMonkey::randomUseLosesNoFile()
{
    const TemporarySettings settings;
    regutl::MakeKey(regutl::kSettingsKey);
    PhotoDbFixture db;
    db.addKeyword(QStringLiteral("sea"), 1);
    SettingsStore::instance().writeStrings(QStringLiteral("\\software\\Orbelin_PV\\formMain"),
                                           {{QStringLiteral("Database_Name"), db.dir()}});
    QRandomGenerator random(test::monkeySeed());

    QTemporaryDir folder;
    QVector<QByteArray> photos;
    for (int i = 0; i < 6; ++i) {
        fixtures::JpegOptions options;
        options.seed = quint32(100 + i);
        photos << fixtures::makeJpeg(160 + 8 * i, 120, options);
    }
    QMap<QString, QByteArray> written; // every file ever put in the folder
    int fileNumber = 0;
    const auto addFiles = [&](int count) {
        for (int i = 0; i < count; ++i) {
            const QString path = folder.filePath(QStringLiteral("f%1.jpg").arg(fileNumber++));
            QByteArray bytes = photos[random.bounded(int(photos.size()))];
            if (random.bounded(6) == 0)
                bytes = QByteArray("\x89PNG\r\n\x1a\n", 8) + bytes;
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
            written.insert(path, bytes);
        }
    };
    addFiles(12);

    RandomPrompter prompter(random);
    prompter.pickFile = [&]() -> std::optional<QString> {
        const QStringList names = QDir(folder.path()).entryList(QDir::Files);
        if (names.isEmpty() || random.bounded(3) == 0)
            return std::nullopt;
        return folder.filePath(names[random.bounded(int(names.size()))]);
    };
    TformMain main(prompter);
    MainWindowAlbum album(main);
    TformSelector form(album, prompter);
    form.moveToDirectory(folder.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    const auto check = [&] {
        const QSet<QByteArray> stored = storedPhotos(db.dir());
        for (auto it = written.cbegin(); it != written.cend(); ++it)
            QVERIFY2(QFile::exists(it.key()) || stored.contains(it.value()),
                     qPrintable(it.key() + QStringLiteral(" is gone but not stored")));
    };
    for (int step = 0; step < 400; ++step) {
        if (!form.isVisible())
            form.show();
        const int rows = form.listboxFile->count();
        switch (random.bounded(12)) {
        case 0:
        case 1:
            if (rows > 0)
                form.listboxFile->item(random.bounded(rows))->setSelected(random.bounded(3) != 0);
            break;
        case 2:
            if (rows > 0)
                form.listboxFile->setCurrentRow(random.bounded(rows));
            break;
        case 3:
            form.menuFileSelectAll->trigger();
            break;
        case 4:
            if (random.bounded(2))
                form.checkboxRemoveAfterInport->click();
            else
                form.menuOptionRemoveAfterInport->trigger();
            break;
        case 5:
            form.editPrefix->setText(QStringList{"", "Trip", "\"q\""}[random.bounded(3)]);
            form.editKeyWord->setText(
                QStringList{"", "sea", "*", "new", "sea,new"}[random.bounded(5)]);
            if (form.checklistboxKeyWords->count() > 0)
                form.checklistboxKeyWords->item(0)->setCheckState(
                    random.bounded(2) ? Qt::Checked : Qt::Unchecked);
            break;
        case 6:
            (random.bounded(2) ? form.radioAuto : form.radioOneToOne)->click();
            break;
        case 7:
            form.menuOptionLayout->trigger();
            break;
        case 8:
            form.bitbtnRefresh->click();
            form.menuFileOpen->trigger();
            break;
        case 9:
            addFiles(1 + random.bounded(3));
            form.moveToDirectory(folder.path());
            break;
        default: { // a run, perhaps stopped by one of its two commands
            const int stop = random.bounded(3);
            QTimer::singleShot(0, &form, [&form, stop] {
                if (stop == 1 && form.bitbtnCancel->isEnabled())
                    form.bitbtnCancel->click();
                else if (stop == 2)
                    form.menuFileCancelInport->trigger();
            });
            form.bitbtnAppend->click();
            check();
        }
        }
        QCoreApplication::processEvents();
    }
    check();
    QVERIFY(!storedPhotos(db.dir()).isEmpty());
    QVERIFY(prompter.texts.size() > 20);
}

QTEST_MAIN(TestFormSelectorMonkey)
#include "tst_tformselector_monkey.moc"
