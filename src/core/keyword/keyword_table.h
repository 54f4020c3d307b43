#pragma once

#include <QString>
#include <QStringList>

namespace pictavo {

class Table;

// Operations on the Keyword Table (KEYWORD.DB). A keyword longer than the KEYWORD field
// is known by its first 32 characters: the engine cuts it both when it is written and
// when it is looked up, so every operation here agrees on it.

// Looks the keyword up by the exact value of the primary index (letter case counts).
// When found the table stands on that row. The table must be open.
bool FindKeyword(Table &keywordTable, const QString &keyword);

// Appends a row holding the keyword and the count and posts it. A keyword already in the
// table fails with "Key violation.", an empty one with "Field 'KEYWORD' must have a
// value."; either way the append is cancelled before the error leaves, so the table is
// back in browse mode and usable.
void AddKeyword(Table &keywordTable, const QString &keyword, qint64 count);

// Every KEYWORD in the order of the primary index (binary: "B" before "a"). Opens the
// table when it is closed and leaves it open, standing on its last row.
QStringList readAllKeywords(Table &keywordTable);

} // namespace pictavo
