#include "base/regutl.h"

#include "base/prompter.h"
#include "base/settings_store.h"

namespace pictavo::regutl {

namespace {

const QString kLeft = QStringLiteral("Left");
const QString kTop = QStringLiteral("Top");
const QString kWidth = QStringLiteral("Width");
const QString kHeight = QStringLiteral("Height");

} // namespace

bool KeyExists(const QString &keyPath)
{
    return SettingsStore::instance().keyExists(keyPath);
}

void MakeKey(const QString &keyPath)
{
    SettingsStore::instance().makeKey(keyPath);
}

void EraseKey(const QString &keyPath)
{
    SettingsStore::instance().eraseKey(keyPath);
}

void PrepareSettingsKey(Prompter &prompter)
{
    if (!KeyExists(kSettingsKey))
        MakeKey(kSettingsKey);
    ReportSettingsProblem(prompter);
}

void ReportSettingsProblem(Prompter &prompter)
{
    const QString problem = SettingsStore::instance().takeProblem();
    if (!problem.isEmpty())
        prompter.warning(problem);
}

QString ReadString(const QString &keyPath, const QString &name, const QString &defaultValue)
{
    return SettingsStore::instance().readString(keyPath, name).value_or(defaultValue);
}

int parseInteger(const QString &text, int defaultValue)
{
    qsizetype i = (text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+'))) ? 1 : 0;
    if (i == text.size())
        return defaultValue;
    for (; i < text.size(); ++i) {
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9'))
            return defaultValue;
    }
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : defaultValue;
}

int ReadInteger(const QString &keyPath, const QString &name, int defaultValue)
{
    const std::optional<QString> text = SettingsStore::instance().readString(keyPath, name);
    return text ? parseInteger(*text, defaultValue) : defaultValue;
}

void WriteString(const QString &keyPath, const QString &name, const QString &value)
{
    SettingsStore::instance().writeString(keyPath, name, value);
}

void WriteInteger(const QString &keyPath, const QString &name, int value)
{
    SettingsStore::instance().writeString(keyPath, name, QString::number(value));
}

QString formKey(const QString &keyPath, const QString &objectName)
{
    return keyPath + QLatin1Char('\\') + objectName;
}

Placement LoadFormPlacement(const QString &objectName, const QString &keyPath,
                            const Placement &current)
{
    const QString key = formKey(keyPath, objectName);
    Placement placement = current;
    placement.left = ReadInteger(key, kLeft, placement.left);
    placement.top = ReadInteger(key, kTop, placement.top);
    placement.width = ReadInteger(key, kWidth, placement.width);
    placement.height = ReadInteger(key, kHeight, placement.height);
    return placement;
}

void SaveFormPlacement(const QString &objectName, const QString &keyPath,
                       const Placement &placement)
{
    SettingsStore::instance().writeStrings(formKey(keyPath, objectName),
                                           {{kLeft, QString::number(placement.left)},
                                            {kTop, QString::number(placement.top)},
                                            {kWidth, QString::number(placement.width)},
                                            {kHeight, QString::number(placement.height)}});
}

} // namespace pictavo::regutl
