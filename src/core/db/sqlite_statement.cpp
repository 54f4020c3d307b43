#include "db/sqlite_statement.h"

#include "db/engine_error.h"

#include <QUrl>
#include <sqlite3.h>

namespace pictavo {

void throwSqliteError(sqlite3 *db)
{
    throw EngineError(QString::fromUtf8(sqlite3_errmsg(db)), sqlite3_extended_errcode(db));
}

QString fileUri(const QString &path, const char *mode)
{
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) + QLatin1String("?mode=") +
           QLatin1String(mode);
}

sqlite3 *openConnection(const QString &uri, int flags)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(uri.toUtf8().constData(), &db, flags, nullptr) != SQLITE_OK) {
        const QString text = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close_v2(db);
        throw EngineError(text);
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 5000);
    return db;
}

void execSql(sqlite3 *db, const QString &sql)
{
    char *message = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        const QString text = QString::fromUtf8(message ? message : sqlite3_errmsg(db));
        sqlite3_free(message);
        throw EngineError(text);
    }
}

SqliteStatement::SqliteStatement(sqlite3 *db, const QString &sql) : m_db(db)
{
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &m_stmt, nullptr) != SQLITE_OK)
        throwSqliteError(db);
    if (!m_stmt)
        throw EngineError(QStringLiteral("Empty SQL statement."));
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_stmt);
}

void SqliteStatement::bind(int index, const QVariant &value)
{
    int rc = SQLITE_OK;
    if (!value.isValid() || value.isNull()) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else {
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Long:
        case QMetaType::Bool:
            rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
            break;
        case QMetaType::QByteArray:
            bindBlob(index, value.toByteArray());
            return;
        default: {
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text(m_stmt, index, text.constData(), int(text.size()),
                                   SQLITE_TRANSIENT);
        }
        }
    }
    if (rc != SQLITE_OK)
        throwSqliteError(m_db);
}

void SqliteStatement::bindBlob(int index, const QByteArray &bytes)
{
    // The caller keeps the bytes alive until the statement has run, so no copy is made
    // of what may be a photograph of many megabytes.
    if (sqlite3_bind_blob64(m_stmt, index, bytes.constData(), sqlite3_uint64(bytes.size()),
                            SQLITE_STATIC) != SQLITE_OK)
        throwSqliteError(m_db);
}

int SqliteStatement::parameterCount() const
{
    return sqlite3_bind_parameter_count(m_stmt);
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    // sqlite3_errmsg gives the extended message only before the reset.
    const QString text = QString::fromUtf8(sqlite3_errmsg(m_db));
    const int code = sqlite3_extended_errcode(m_db);
    sqlite3_reset(m_stmt);
    throw EngineError(text, code);
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_stmt);
}

int SqliteStatement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

QString SqliteStatement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

bool SqliteStatement::isBlob(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_BLOB;
}

qint64 SqliteStatement::columnBytes(int column) const
{
    return sqlite3_column_bytes(m_stmt, column);
}

QByteArray SqliteStatement::columnBlob(int column) const
{
    return QByteArray(static_cast<const char *>(sqlite3_column_blob(m_stmt, column)),
                      sqlite3_column_bytes(m_stmt, column));
}

QString quoted(const QString &identifier)
{
    QString text = identifier;
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString quotedList(const QStringList &names, const QString &qualifier)
{
    QStringList parts;
    for (const QString &name : names)
        parts << qualifier + quoted(name);
    return parts.join(QLatin1Char(','));
}

qint64 SqliteStatement::columnInt64(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

QString SqliteStatement::columnText(int column) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column));
}

QVariant SqliteStatement::columnValue(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, column));
    case SQLITE_TEXT:
        return QVariant(columnText(column));
    case SQLITE_BLOB:
        return QVariant(columnBlob(column));
    default:
        return QVariant();
    }
}

bool SqliteStatement::readOnly() const
{
    return sqlite3_stmt_readonly(m_stmt) != 0;
}

} // namespace pictavo
