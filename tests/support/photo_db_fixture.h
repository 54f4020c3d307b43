#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace pictavo::test {

// A temporary directory holding a new Photo Table and Keyword Table.
class PhotoDbFixture
{
public:
    PhotoDbFixture();
    const QString &dir() const { return m_path; }
    bool valid() const { return m_dir.isValid(); }

    // Appends a photo record through a table data set and returns its SERIAL.
    qint64 addPhoto(const QString &prefix, const QString &name, const QString &keywords,
                    const QByteArray &image, const QString &ext = QStringLiteral(".jpg"));
    void addKeyword(const QString &keyword, qint64 count);
    // Leaves the named records with a photo of no bytes, as a table written by another
    // program can hold them (the engine refuses to store one).
    void emptyPhoto(const QString &name);

    // Runs the local-SQL lines and returns each record as its fields joined by '|'
    // (a null prints as nothing).
    QStringList rows(const QStringList &sql) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// Bytes that look like nothing in particular, with zero bytes in them.
QByteArray patternBytes(int size, int seed);

} // namespace pictavo::test
