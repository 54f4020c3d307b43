#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

namespace pictavo {

// The per-user store of nested keys with string values that stands in for the registry:
// one JSON file whose objects are keys and whose strings are values.
//
// Key paths are backslash-separated ("\software\Orbelin_PV\formMain"); a leading backslash,
// like none at all, means from the root, and empty segments are ignored. Key and value names
// match without regard to ASCII letter case; the stored spelling is kept.
//
// Every call reads the file afresh and every change is written through at once (QSaveFile,
// so a crash never leaves half a file). A file that is missing, unreadable or not valid JSON
// reads as an empty store; anything in it that is neither an object nor a string reads as
// absent and is dropped by the next write. A key and a value of the same name cannot both
// exist: creating one replaces the other.
//
// A file that cannot be read (it exists but may not be opened) or written does not stop
// the program: from then on the store keeps its keys in memory for the rest of the run,
// never touches that file again (so an unreadable file is not replaced by an empty one),
// and holds a text saying why, which the program shows to the user once.
class SettingsStore
{
public:
    explicit SettingsStore(QString filePath);

    // The store of the program, at defaultPath() when first used.
    static SettingsStore &instance();

    // $PICTAVO_SETTINGS when set, else $XDG_CONFIG_HOME/pictavo/settings.json, else
    // ~/.config/pictavo/settings.json.
    static QString defaultPath();

    const QString &filePath() const { return m_filePath; }
    // Points the store at another file (tests: a file in their temporary directory).
    void setFilePath(const QString &filePath);

    bool keyExists(const QString &keyPath) const;
    // Creates the key and any missing parents.
    void makeKey(const QString &keyPath);
    // Deletes the key with all its subkeys and values; a missing key (or the root) is left
    // alone.
    void eraseKey(const QString &keyPath);

    // Absent when the key or the value does not exist.
    std::optional<QString> readString(const QString &keyPath, const QString &name) const;
    // Creates the key (with parents) when missing.
    void writeString(const QString &keyPath, const QString &name, const QString &value);
    // Several values of one key in one write.
    void writeStrings(const QString &keyPath, const QList<std::pair<QString, QString>> &values);

    // True once the file could not be read or written: keys live in memory since then.
    bool inMemory() const { return m_memory.has_value(); }
    // The text for the user about the first failure, once: empty when there was none or
    // when it was taken before.
    QString takeProblem();

private:
    QJsonObject load() const;
    void save(const QJsonObject &root);
    void fallBack(const QJsonObject &root, const QString &problem) const;

    QString m_filePath;
    mutable std::optional<QJsonObject> m_memory;
    mutable QString m_problem;
    mutable bool m_problemTaken = false;
};

} // namespace pictavo
