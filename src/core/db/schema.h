#pragma once

#include "db/field_def.h"

namespace pictavo {

// The two tables of a photo database.
namespace schema {

inline const QString kPhotoTableFile = QStringLiteral("photodb.db");
inline const QString kKeywordTableFile = QStringLiteral("keyword.db");
// The scratch table a keyword rebuild fills before it replaces the Keyword Table.
inline const QString kWorkTableFile = QStringLiteral("work.db");

// PREFIX, NAME, EXT, SERIAL, KEYWORD, COUNT, IMAGE_SIZE, MEMO, IMAGE, THUMBNAIL.
QVector<FieldDef> photoFields();
// The primary index over PREFIX;NAME;EXT;SERIAL, and an index on IMAGE_SIZE that finds
// photos of equal size when a file is tested for a duplicate.
QVector<IndexDef> photoIndexes();
QVector<FieldDef> keywordFields();
QVector<IndexDef> keywordIndexes();

} // namespace schema
} // namespace pictavo
