#include "base/regutl.h"
#include "support/temporary_settings.h"
#include "widgets/form_placement.h"

#include <QJsonDocument>
#include <QTest>
#include <QWidget>

using namespace pictavo;

class TestFormPlacement : public QObject
{
    Q_OBJECT

private slots:
    void saveWritesPositionAndSize();
    void loadAppliesStoredValues();
    void loadKeepsCurrentValuesWhenAbsent();
    void loadKeepsWindowsWithinReach_data();
    void loadKeepsWindowsWithinReach();
};

void TestFormPlacement::saveWritesPositionAndSize()
{
    TemporarySettings settings;
    QWidget window;
    window.setObjectName("formKeywordAssist");
    window.move(11, 22);
    window.resize(240, 280);

    SaveFormPlacement(&window, regutl::kSettingsKey);

    QCOMPARE(settings.json(), QJsonDocument::fromJson(R"({"software":{"Orbelin_PV":
        {"formKeywordAssist":{"Left":"11","Top":"22","Width":"240","Height":"280"}}}})")
                                  .object());
}

void TestFormPlacement::loadAppliesStoredValues()
{
    TemporarySettings settings;
    regutl::SaveFormPlacement("formSelector", regutl::kSettingsKey, {-15, 40, 500, 350});
    QWidget window;
    window.setObjectName("formSelector");
    window.move(1, 2);
    window.resize(640, 480);

    LoadFormPlacement(&window, regutl::kSettingsKey);

    QCOMPARE(window.pos(), QPoint(-15, 40));
    QCOMPARE(window.size(), QSize(500, 350));
}

void TestFormPlacement::loadKeepsCurrentValuesWhenAbsent()
{
    TemporarySettings settings;
    const QString key = regutl::formKey(regutl::kSettingsKey, "formMain");
    regutl::WriteInteger(key, "Top", 77);
    regutl::WriteString(key, "Height", "tall");
    QWidget window;
    window.setObjectName("formMain");
    window.move(5, 6);
    window.resize(320, 240);

    LoadFormPlacement(&window, regutl::kSettingsKey);

    QCOMPARE(window.pos(), QPoint(5, 77));
    QCOMPARE(window.size(), QSize(320, 240));
}

void TestFormPlacement::loadKeepsWindowsWithinReach_data()
{
    QTest::addColumn<QRect>("stored");
    QTest::addColumn<QRect>("applied"); // on a desktop of 0,0 - desk.width() x desk.height()
    const QRect desk = desktopArea();
    QTest::newRow("absurd size") << QRect(10, 20, 2000000000, 2000000000)
                                 << QRect(10, 20, desk.width(), desk.height());
    QTest::newRow("far left and below") << QRect(-2000000000, 2000000000, 300, 200)
                                        << QRect(48 - 300, desk.height() - 48, 300, 200);
    QTest::newRow("far right and above")
        << QRect(2000000000, -500, 300, 200) << QRect(desk.width() - 48, 0, 300, 200);
    QTest::newRow("partly off the left edge stays")
        << QRect(-100, 50, 300, 200) << QRect(-100, 50, 300, 200);
}

// Stored bounds are fitted to the screens as they are: nothing larger than all of them,
// and always a corner within reach, the title never above the top.
void TestFormPlacement::loadKeepsWindowsWithinReach()
{
    QFETCH(QRect, stored);
    QFETCH(QRect, applied);
    QCOMPARE(desktopArea().topLeft(), QPoint(0, 0));
    TemporarySettings settings;
    regutl::SaveFormPlacement("formMain", regutl::kSettingsKey,
                              {stored.x(), stored.y(), stored.width(), stored.height()});
    QWidget window;
    window.setObjectName("formMain");
    LoadFormPlacement(&window, regutl::kSettingsKey);
    QCOMPARE(QRect(window.pos(), window.size()), applied);
}

QTEST_MAIN(TestFormPlacement)
#include "tst_regutl_form_placement.moc"
