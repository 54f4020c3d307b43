#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace pictavo {

// Kinds of field a table can have. Strings have a maximum length in characters; an
// autoincrement field is the table's row id, assigned at the post.
enum class FieldType
{
    String,
    Integer,
    AutoInc,
    Memo,
    Blob,
    Unknown
};

struct FieldDef
{
    QString name;
    FieldType type = FieldType::Unknown;
    int size = 0;          // strings only: maximum length in characters
    bool required = false; // a post with this field null fails
};

struct IndexDef
{
    QString name; // empty for the primary index
    QStringList fields;
    bool primary = false;
    bool unique = false;
};

struct TableSchema
{
    QVector<FieldDef> fields;
    QStringList primaryKey; // fields of the primary index, in order; empty when none

    // Index of the field, letter case ignored; -1 when there is none.
    int fieldIndex(const QString &name) const
    {
        for (int i = 0; i < fields.size(); ++i)
            if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
};

} // namespace pictavo
