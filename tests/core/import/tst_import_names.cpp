#include "import/import_names.h"
#include "import/import_pipeline.h"

#include <QtTest>

using namespace pictavo;

// The rules that turn a run's inputs into field values.
class TestImportNames : public QObject
{
    Q_OBJECT

private slots:
    void keywordString_data();
    void keywordString();
    void photoName_data();
    void photoName();
};

void TestImportNames::keywordString_data()
{
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("keywords");

    QTest::newRow("ticked and typed") << QStringList{"sea", "sky"} << "holiday"
                                      << "sea,sky,holiday";
    QTest::newRow("typed only, as it stands") << QStringList() << "a, b"
                                              << "a, b";
    QTest::newRow("nothing") << QStringList() << ""
                             << "*";
    QTest::newRow("ticked only") << QStringList{"sea"} << ""
                                 << "sea";
    QTest::newRow("typed also ticked") << QStringList{"sea"} << "sea"
                                       << "sea,sea";
    QTest::newRow("blanks are text") << QStringList() << " "
                                     << " ";
    QTest::newRow("typed commas") << QStringList{"a"} << ",b,"
                                  << "a,,b,";
}

void TestImportNames::keywordString()
{
    QFETCH(QStringList, ticked);
    QFETCH(QString, typed);
    QFETCH(QString, keywords);
    QCOMPARE(composeKeywordString(ticked, typed), keywords);
}

void TestImportNames::photoName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<bool>("jpeg");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("refusal");

    const auto row = [](const char *tag, const QString &path, const QString &extension, bool jpeg,
                        const QString &name, const QString &refusal = QString()) {
        QTest::newRow(tag) << path << extension << jpeg << name << refusal;
    };
    row("plain", "/p/IMG_0001.JPG", ".JPG", true, "img_0001");
    row("dot inside", "Photo.Final.jpeg", ".jpeg", true, "photo.final");
    row("extension repeated", "a.jpg.jpg", ".jpg", true, "a");
    row("repeated in other case", "x.JPG.jpg", ".jpg", true, "x.jpg");
    row("only the last dot counts", "/p/a.b/c", "", false, "", "No extention.");
    row("no extension", "README", "", false, "", "No extention.");
    row("only an extension", "/p/.jpg", ".jpg", true, "", "Name is null string.");
    row("trailing dot", "photo.", ".", false, "photo");
    row("mixed-case jpeg", "a.JpEg", ".JpEg", true, "a");
    row("jpe is not jpeg", "a.jpe", ".jpe", false, "a");
    row("Unicode lower case", "ÄPFEL.JPG", ".JPG", true, "äpfel");
    row("long name kept whole here", QString(40, 'X') + ".jpg", ".jpg", true, QString(40, 'x'));
}

void TestImportNames::photoName()
{
    QFETCH(QString, path);
    QFETCH(QString, extension);
    QFETCH(bool, jpeg);
    QFETCH(QString, name);
    QFETCH(QString, refusal);
    QCOMPARE(photoExtension(fileNameOf(path)), extension);
    QCOMPARE(isJpegExtension(extension), jpeg);
    const PhotoName result = photoNameOf(path);
    QCOMPARE(result.name, name);
    QCOMPARE(result.refusal, refusal);
}

QTEST_GUILESS_MAIN(TestImportNames)
#include "tst_import_names.moc"
