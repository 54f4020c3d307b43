#include "keyword/keyword_table.h"

#include "db/table.h"

namespace pictavo {

namespace {

const QString kKeywordField = QStringLiteral("KEYWORD");
const QString kCountField = QStringLiteral("COUNT");

} // namespace

bool FindKeyword(Table &keywordTable, const QString &keyword)
{
    // findKey cuts the text to the field's size, as a write does.
    return keywordTable.findKey({keyword});
}

void AddKeyword(Table &keywordTable, const QString &keyword, qint64 count)
{
    keywordTable.append();
    try {
        keywordTable.setValue(kKeywordField, keyword);
        keywordTable.setValue(kCountField, count);
        keywordTable.post();
    } catch (...) {
        // Left in insert mode, the next move would post the same bad row again and fail
        // every later lookup with it.
        keywordTable.cancel();
        throw;
    }
}

QStringList readAllKeywords(Table &keywordTable)
{
    keywordTable.open();
    QStringList keywords;
    for (keywordTable.first(); !keywordTable.eof(); keywordTable.next())
        keywords << keywordTable.asString(kKeywordField);
    return keywords;
}

} // namespace pictavo
