#include "db/schema.h"

namespace pictavo::schema {

QVector<FieldDef> photoFields()
{
    return {
        {QStringLiteral("PREFIX"), FieldType::String, 32, false},
        {QStringLiteral("NAME"), FieldType::String, 32, true},
        {QStringLiteral("EXT"), FieldType::String, 4, false},
        {QStringLiteral("SERIAL"), FieldType::AutoInc, 0, true},
        {QStringLiteral("KEYWORD"), FieldType::String, 255, true},
        {QStringLiteral("COUNT"), FieldType::Integer, 0, true},
        {QStringLiteral("IMAGE_SIZE"), FieldType::Integer, 0, true},
        {QStringLiteral("MEMO"), FieldType::Memo, 0, false},
        {QStringLiteral("IMAGE"), FieldType::Blob, 0, true},
        {QStringLiteral("THUMBNAIL"), FieldType::Blob, 0, false},
    };
}

QVector<IndexDef> photoIndexes()
{
    return {
        {QString(),
         {QStringLiteral("PREFIX"), QStringLiteral("NAME"), QStringLiteral("EXT"),
          QStringLiteral("SERIAL")},
         true,
         true},
        {QStringLiteral("photodb_image_size"), {QStringLiteral("IMAGE_SIZE")}, false, false},
    };
}

QVector<FieldDef> keywordFields()
{
    return {
        {QStringLiteral("KEYWORD"), FieldType::String, 32, true},
        {QStringLiteral("COUNT"), FieldType::Integer, 0, true},
    };
}

QVector<IndexDef> keywordIndexes()
{
    return {{QString(), {QStringLiteral("KEYWORD")}, true, true}};
}

} // namespace pictavo::schema
