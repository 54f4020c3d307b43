#include "support/photo_db_fixture.h"

#include "db/query.h"
#include "db/schema.h"
#include "db/table.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

namespace pictavo::test {

PhotoDbFixture::PhotoDbFixture() : m_path(m_dir.path())
{
    Table table;
    table.setDatabaseName(m_path);
    table.setTableName(schema::kPhotoTableFile);
    table.createTable(schema::photoFields(), schema::photoIndexes());
    table.setTableName(schema::kKeywordTableFile);
    table.createTable(schema::keywordFields(), schema::keywordIndexes());
}

qint64 PhotoDbFixture::addPhoto(const QString &prefix, const QString &name, const QString &keywords,
                                const QByteArray &image, const QString &ext)
{
    Table table;
    table.setDatabaseName(m_path);
    table.setTableName(QStringLiteral("PHOTODB.DB"));
    table.open();
    table.append();
    table.setValue(QStringLiteral("PREFIX"), prefix);
    table.setValue(QStringLiteral("NAME"), name);
    table.setValue(QStringLiteral("EXT"), ext);
    table.setValue(QStringLiteral("KEYWORD"), keywords);
    table.setValue(QStringLiteral("COUNT"), 0);
    table.setValue(QStringLiteral("IMAGE_SIZE"), qint64(image.size()));
    table.setBlob(QStringLiteral("IMAGE"), image);
    table.post();
    return table.asInteger(QStringLiteral("SERIAL"));
}

void PhotoDbFixture::addKeyword(const QString &keyword, qint64 count)
{
    Table table;
    table.setDatabaseName(m_path);
    table.setTableName(QStringLiteral("KEYWORD.DB"));
    table.open();
    table.append();
    table.setValue(QStringLiteral("KEYWORD"), keyword);
    table.setValue(QStringLiteral("COUNT"), count);
    table.post();
}

void PhotoDbFixture::emptyPhoto(const QString &name)
{
    sqlite3 *db = nullptr;
    const QByteArray path = QFile::encodeName(QDir(m_path).filePath(QStringLiteral("photodb.db")));
    const bool opened = sqlite3_open(path.constData(), &db) == SQLITE_OK;
    sqlite3_stmt *statement = nullptr;
    if (opened)
        sqlite3_prepare_v2(db, "UPDATE photodb SET IMAGE = x'' WHERE NAME = ?", -1, &statement,
                           nullptr);
    const QByteArray utf8 = name.toUtf8();
    sqlite3_bind_text(statement, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(statement);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    if (rc != SQLITE_DONE)
        qFatal("could not empty the photo of %s", utf8.constData());
}

QStringList PhotoDbFixture::rows(const QStringList &sql) const
{
    Query query;
    query.setDatabaseName(m_path);
    query.setSql(sql);
    query.open();
    QStringList out;
    for (query.first(); !query.eof(); query.next()) {
        QStringList fields;
        for (int f = 0; f < query.fieldCount(); ++f)
            fields << query.valueAt(query.recNo(), f).toString();
        out << fields.join(QLatin1Char('|'));
    }
    return out;
}

QByteArray patternBytes(int size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = quint32(seed) * 2654435761u + 1;
    for (int i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = char(i % 97 == 0 ? 0 : (state >> 24));
    }
    return bytes;
}

} // namespace pictavo::test
