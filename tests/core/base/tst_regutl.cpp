#include "base/regutl.h"
#include "base/settings_store.h"
#include "support/temporary_settings.h"

#include <QJsonDocument>
#include <QTest>
#include <memory>

Q_DECLARE_METATYPE(pictavo::regutl::Placement)
Q_DECLARE_METATYPE(std::optional<QString>)

using namespace pictavo;
using namespace pictavo::regutl;

namespace {

const QString kFormMainKey = QStringLiteral("\\software\\Orbelin_PV\\formMain");

QJsonObject parse(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

class TestRegutl : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void settingsKeyPath();
    void firstStartAndDeleteRegistry();
    void readIntegerRules_data();
    void readIntegerRules();
    void writeIntegerText_data();
    void writeIntegerText();
    void readStringDefault();
    void placementRoundTrip();
    void placementDefaultsPerValue_data();
    void placementDefaultsPerValue();
    void placementSubkeysAreIndependent();

private:
    std::unique_ptr<TemporarySettings> m_settings;
};

void TestRegutl::init()
{
    m_settings = std::make_unique<TemporarySettings>();
}

void TestRegutl::cleanup()
{
    m_settings.reset();
}

void TestRegutl::settingsKeyPath()
{
    QCOMPARE(kSettingsKey, QStringLiteral("\\software\\Orbelin_PV"));
    QCOMPARE(formKey(kSettingsKey, "formMain"), kFormMainKey);
}

void TestRegutl::firstStartAndDeleteRegistry()
{
    QVERIFY(!KeyExists(kSettingsKey));
    MakeKey(kSettingsKey);
    QVERIFY(KeyExists(kSettingsKey));
    QVERIFY(!KeyExists(kFormMainKey));
    QCOMPARE(m_settings->json(), parse(R"({"software":{"Orbelin_PV":{}}})"));

    SaveFormPlacement("formMain", kSettingsKey, {1, 2, 3, 4});
    WriteString(kFormMainKey, "Panel_Layout", "Right");
    EraseKey(kSettingsKey);
    QVERIFY(!KeyExists(kSettingsKey));
    QCOMPARE(m_settings->json(), parse(R"({"software":{}})"));
    EraseKey(kSettingsKey);
    QVERIFY(!KeyExists(kSettingsKey));
}

void TestRegutl::readIntegerRules_data()
{
    QTest::addColumn<std::optional<QString>>("stored");
    QTest::addColumn<int>("expected");

    const int dflt = 124;
    QTest::newRow("absent") << std::optional<QString>() << dflt;
    QTest::newRow("empty") << std::optional<QString>("") << dflt;
    QTest::newRow("abc") << std::optional<QString>("abc") << dflt;
    QTest::newRow("plain") << std::optional<QString>("480") << 480;
    QTest::newRow("zero") << std::optional<QString>("0") << 0;
    QTest::newRow("negative") << std::optional<QString>("-5") << -5;
    QTest::newRow("plus sign") << std::optional<QString>("+3") << 3;
    QTest::newRow("leading zeros") << std::optional<QString>("007") << 7;
    QTest::newRow("int max") << std::optional<QString>("2147483647") << 2147483647;
    QTest::newRow("int min") << std::optional<QString>("-2147483648") << int(-2147483648LL);
    QTest::newRow("overflow") << std::optional<QString>("2147483648") << dflt;
    QTest::newRow("underflow") << std::optional<QString>("-2147483649") << dflt;
    QTest::newRow("huge") << std::optional<QString>("99999999999999999999999") << dflt;
    QTest::newRow("leading blank") << std::optional<QString>(" 5") << dflt;
    QTest::newRow("trailing blank") << std::optional<QString>("5 ") << dflt;
    QTest::newRow("sign only") << std::optional<QString>("-") << dflt;
    QTest::newRow("hex") << std::optional<QString>("0x10") << dflt;
    QTest::newRow("exponent") << std::optional<QString>("1e3") << dflt;
    QTest::newRow("decimal point") << std::optional<QString>("3.0") << dflt;
    QTest::newRow("trailing text") << std::optional<QString>("12px") << dflt;
    QTest::newRow("fullwidth digits")
        << std::optional<QString>(QStringLiteral("\uff11\uff12")) << dflt;
}

void TestRegutl::readIntegerRules()
{
    QFETCH(std::optional<QString>, stored);
    QFETCH(int, expected);
    MakeKey(kFormMainKey);
    if (stored)
        WriteString(kFormMainKey, "Table_Height", *stored);
    QCOMPARE(ReadInteger(kFormMainKey, "Table_Height", 124), expected);
    if (stored)
        QCOMPARE(parseInteger(*stored, 124), expected);
}

void TestRegutl::writeIntegerText_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("positive") << 3 << "3";
    QTest::newRow("zero") << 0 << "0";
    QTest::newRow("negative") << -5 << "-5";
    QTest::newRow("min") << int(-2147483648LL) << "-2147483648";
}

void TestRegutl::writeIntegerText()
{
    QFETCH(int, value);
    QFETCH(QString, text);
    WriteInteger(kFormMainKey, "Wait_Time", value);
    QCOMPARE(SettingsStore::instance().readString(kFormMainKey, "Wait_Time"), text);
    QCOMPARE(ReadInteger(kFormMainKey, "Wait_Time", 99), value);
}

void TestRegutl::readStringDefault()
{
    QCOMPARE(ReadString(kFormMainKey, "Panel_Layout", "Right"), QString("Right"));
    WriteString(kFormMainKey, "Database_Name", "");
    // An empty value is a value: only an absent one reads as the default.
    QCOMPARE(ReadString(kFormMainKey, "Database_Name", "fallback"), QString(""));
    WriteString(kFormMainKey, "Panel_Layout", "Left");
    QCOMPARE(ReadString(kFormMainKey, "panel_layout", "Right"), QString("Left"));
}

void TestRegutl::placementRoundTrip()
{
    const Placement saved{-8, 30, 640, 480};
    SaveFormPlacement("formMain", kSettingsKey, saved);
    QCOMPARE(m_settings->json(), parse(R"({"software":{"Orbelin_PV":{"formMain":
        {"Left":"-8","Top":"30","Width":"640","Height":"480"}}}})"));
    QCOMPARE(LoadFormPlacement("formMain", kSettingsKey, {1, 2, 3, 4}), saved);
}

void TestRegutl::placementDefaultsPerValue_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<Placement>("expected");

    // Saved {10, 20, 300, 200}, then one value removed or spoiled; current is {1, 2, 3, 4}.
    QTest::newRow("no Left") << "Left" << QString() << Placement{1, 20, 300, 200};
    QTest::newRow("no Top") << "Top" << QString() << Placement{10, 2, 300, 200};
    QTest::newRow("bad Width") << "Width"
                               << "wide" << Placement{10, 20, 3, 200};
    QTest::newRow("empty Height") << "Height"
                                  << "" << Placement{10, 20, 300, 4};
}

void TestRegutl::placementDefaultsPerValue()
{
    QFETCH(QString, name);
    QFETCH(QString, stored);
    QFETCH(Placement, expected);

    SaveFormPlacement("formSelector", kSettingsKey, {10, 20, 300, 200});
    const QString key = formKey(kSettingsKey, "formSelector");
    if (stored.isNull()) {
        // Remove the value by rewriting the key without it.
        const Placement all = LoadFormPlacement("formSelector", kSettingsKey, {});
        EraseKey(key);
        const std::pair<const char *, int> values[] = {
            {"Left", all.left}, {"Top", all.top}, {"Width", all.width}, {"Height", all.height}};
        for (const auto &[valueName, value] : values) {
            if (name != QLatin1String(valueName))
                WriteInteger(key, valueName, value);
        }
    } else {
        WriteString(key, name, stored);
    }
    QCOMPARE(LoadFormPlacement("formSelector", kSettingsKey, {1, 2, 3, 4}), expected);
}

void TestRegutl::placementSubkeysAreIndependent()
{
    SaveFormPlacement("formSelector", kSettingsKey, {5, 6, 7, 8});
    QVERIFY(!KeyExists(kFormMainKey));
    QCOMPARE(LoadFormPlacement("formMain", kSettingsKey, {1, 2, 3, 4}), (Placement{1, 2, 3, 4}));
    QCOMPARE(LoadFormPlacement("formSelector", kSettingsKey, {1, 2, 3, 4}),
             (Placement{5, 6, 7, 8}));
}

QTEST_GUILESS_MAIN(TestRegutl)
#include "tst_regutl.moc"
