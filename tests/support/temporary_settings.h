#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>

namespace pictavo {

// Points the program's settings store (and PICTAVO_SETTINGS) at a file in a fresh temporary
// directory for the lifetime of the object, so a test never touches the user's settings.
// The file itself is not created.
class TemporarySettings
{
public:
    TemporarySettings();
    ~TemporarySettings();
    TemporarySettings(const TemporarySettings &) = delete;
    TemporarySettings &operator=(const TemporarySettings &) = delete;

    const QString &path() const { return m_path; }
    bool fileExists() const;
    QByteArray bytes() const;
    void setBytes(const QByteArray &bytes) const;
    // The file as JSON; a QTest failure (returned as an empty object) when it is not a valid
    // JSON object.
    QJsonObject json() const;

private:
    QTemporaryDir m_dir;
    QString m_path;
    QString m_previousPath;
    QByteArray m_previousEnvironment;
    bool m_hadEnvironment;
};

// True when every value in object, at any depth, is a string or an object.
bool onlyStringsAndObjects(const QJsonObject &object);

} // namespace pictavo
