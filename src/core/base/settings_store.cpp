#include "base/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <algorithm>
#include <functional>

namespace pictavo {

namespace {

QStringList splitPath(const QString &keyPath)
{
    return keyPath.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

char16_t asciiLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
}

// The registry compares names without regard to case; only ASCII letters are folded here, so
// the result never depends on the locale.
bool sameName(QStringView a, QStringView b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](QChar x, QChar y) {
        return asciiLower(x.unicode()) == asciiLower(y.unicode());
    });
}

// The stored spelling of name in object, or a null string. An exact match wins over a
// case-folded one, in case a hand-edited file holds both.
QString storedName(const QJsonObject &object, const QString &name)
{
    if (object.contains(name))
        return name;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (sameName(it.key(), name))
            return it.key();
    }
    return {};
}

// Keeps the keys and string values; anything else reads as absent.
QJsonObject sanitized(const QJsonObject &object)
{
    QJsonObject result;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.value().isString())
            result.insert(it.key(), it.value());
        else if (it.value().isObject())
            result.insert(it.key(), sanitized(it.value().toObject()));
    }
    return result;
}

// Why the settings file cannot be written, or an empty text when it was.
QString saveFile(const QString &filePath, const QJsonObject &root)
{
    const QString directory = QFileInfo(filePath).absolutePath();
    if (!QDir().mkpath(directory))
        return QStringLiteral("The directory \"%1\" could not be created.")
            .arg(QDir::toNativeSeparators(directory));
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Indented);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    return {};
}

std::optional<QJsonObject> findKey(QJsonObject object, const QStringList &segments)
{
    for (const QString &segment : segments) {
        const QString name = storedName(object, segment);
        if (name.isNull() || !object.value(name).isObject())
            return std::nullopt;
        object = object.value(name).toObject();
    }
    return object;
}

using Edit = std::function<void(QJsonObject &)>;

// object with edit applied to the key at segments[index..], creating missing keys on the way
// (a string value in the way is replaced by a key).
QJsonObject edited(QJsonObject object, const QStringList &segments, qsizetype index,
                   const Edit &edit)
{
    if (index == segments.size()) {
        edit(object);
        return object;
    }
    QString name = storedName(object, segments[index]);
    QJsonObject child;
    if (name.isNull())
        name = segments[index];
    else if (object.value(name).isObject())
        child = object.value(name).toObject();
    object.insert(name, edited(child, segments, index + 1, edit));
    return object;
}

} // namespace

SettingsStore::SettingsStore(QString filePath) : m_filePath(std::move(filePath)) {}

void SettingsStore::setFilePath(const QString &filePath)
{
    m_filePath = filePath;
    m_memory.reset();
    m_problem.clear();
    m_problemTaken = false;
}

QString SettingsStore::takeProblem()
{
    if (m_problemTaken)
        return {};
    m_problemTaken = !m_problem.isEmpty();
    return m_problem;
}

void SettingsStore::fallBack(const QJsonObject &root, const QString &problem) const
{
    m_memory = root;
    m_problem = problem;
}

QJsonObject SettingsStore::load() const
{
    if (m_memory)
        return *m_memory;
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        // Missing is a first start. Present but unreadable: keep the user's file as it is
        // and work from memory, instead of writing an empty store over it.
        if (QFileInfo::exists(m_filePath)) {
            fallBack({}, QStringLiteral("Pictavo cannot read its settings from \"%1\": %2\r"
                                        "It starts with default settings, and the changes "
                                        "of this session will not be saved.")
                             .arg(QDir::toNativeSeparators(m_filePath), file.errorString()));
            return *m_memory;
        }
        return {};
    }
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject())
        return {};
    return sanitized(document.object());
}

void SettingsStore::save(const QJsonObject &root)
{
    if (m_memory) {
        m_memory = root;
        return;
    }
    const QString reason = saveFile(m_filePath, root);
    if (!reason.isEmpty())
        fallBack(root, QStringLiteral("Pictavo cannot save its settings to \"%1\". %2\r"
                                      "It goes on with the settings in memory; the changes of "
                                      "this session will not be saved.")
                           .arg(QDir::toNativeSeparators(m_filePath), reason));
}

SettingsStore &SettingsStore::instance()
{
    static SettingsStore store(defaultPath());
    return store;
}

QString SettingsStore::defaultPath()
{
    const QString explicitPath = qEnvironmentVariable("PICTAVO_SETTINGS");
    if (!explicitPath.isEmpty())
        return explicitPath;
    // The XDG rules ignore a relative XDG_CONFIG_HOME.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/pictavo/settings.json");
}

bool SettingsStore::keyExists(const QString &keyPath) const
{
    return findKey(load(), splitPath(keyPath)).has_value();
}

void SettingsStore::makeKey(const QString &keyPath)
{
    const QJsonObject root = load();
    const QStringList segments = splitPath(keyPath);
    if (findKey(root, segments))
        return;
    save(edited(root, segments, 0, [](QJsonObject &) {}));
}

void SettingsStore::eraseKey(const QString &keyPath)
{
    const QJsonObject root = load();
    QStringList segments = splitPath(keyPath);
    if (segments.isEmpty() || !findKey(root, segments))
        return;
    const QString last = segments.takeLast();
    save(edited(root, segments, 0,
                [&last](QJsonObject &parent) { parent.remove(storedName(parent, last)); }));
}

std::optional<QString> SettingsStore::readString(const QString &keyPath, const QString &name) const
{
    const std::optional<QJsonObject> key = findKey(load(), splitPath(keyPath));
    if (!key)
        return std::nullopt;
    const QJsonValue value = key->value(storedName(*key, name));
    return value.isString() ? std::optional(value.toString()) : std::nullopt;
}

void SettingsStore::writeString(const QString &keyPath, const QString &name, const QString &value)
{
    writeStrings(keyPath, {{name, value}});
}

void SettingsStore::writeStrings(const QString &keyPath,
                                 const QList<std::pair<QString, QString>> &values)
{
    save(edited(load(), splitPath(keyPath), 0, [&values](QJsonObject &key) {
        for (const auto &[name, value] : values) {
            const QString stored = storedName(key, name);
            key.insert(stored.isNull() ? name : stored, value);
        }
    }));
}

} // namespace pictavo
