#include "support/temporary_settings.h"

#include "base/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTest>

namespace pictavo {

TemporarySettings::TemporarySettings()
    : m_path(m_dir.filePath(QStringLiteral("config/pictavo/settings.json"))),
      m_previousPath(SettingsStore::instance().filePath()),
      m_previousEnvironment(qgetenv("PICTAVO_SETTINGS")),
      m_hadEnvironment(qEnvironmentVariableIsSet("PICTAVO_SETTINGS"))
{
    if (!m_dir.isValid())
        qFatal("TemporarySettings: no temporary directory");
    qputenv("PICTAVO_SETTINGS", m_path.toLocal8Bit());
    SettingsStore::instance().setFilePath(m_path);
}

TemporarySettings::~TemporarySettings()
{
    SettingsStore::instance().setFilePath(m_previousPath);
    if (m_hadEnvironment)
        qputenv("PICTAVO_SETTINGS", m_previousEnvironment);
    else
        qunsetenv("PICTAVO_SETTINGS");
}

bool TemporarySettings::fileExists() const
{
    return QFile::exists(m_path);
}

QByteArray TemporarySettings::bytes() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void TemporarySettings::setBytes(const QByteArray &bytes) const
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("TemporarySettings: cannot write %s", qUtf8Printable(m_path));
}

QJsonObject TemporarySettings::json() const
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        QTest::qFail(
            qUtf8Printable(
                QStringLiteral("settings file is not a JSON object: %1").arg(error.errorString())),
            __FILE__, __LINE__);
        return {};
    }
    return document.object();
}

bool onlyStringsAndObjects(const QJsonObject &object)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.value().isObject()) {
            if (!onlyStringsAndObjects(it.value().toObject()))
                return false;
        } else if (!it.value().isString()) {
            return false;
        }
    }
    return true;
}

} // namespace pictavo
