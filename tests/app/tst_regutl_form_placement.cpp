#include "app/form_placement.h"
#include "app/regutl.h"
#include "support/temporary_settings.h"

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

QTEST_MAIN(TestFormPlacement)
#include "tst_regutl_form_placement.moc"
