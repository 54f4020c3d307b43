#pragma once

#include <QString>
#include <functional>

namespace pictavo {

// keywordString with the first occurrence of oldText (plain text, letter case counting)
// replaced by newText; unchanged when oldText does not occur. The old keyword is found
// wherever its characters stand, also inside a longer keyword: "bobcat,cat" with cat and
// dog gives "bobdog,cat".
QString replaceFirstOccurrence(const QString &keywordString, const QString &oldText,
                               const QString &newText);

struct KeywordReplaceResult
{
    int visited = 0; // photo records read
    int changed = 0; // records whose Keyword String is different afterwards
};

// Replaces the first occurrence of oldText by newText in the Keyword String of every record
// of the Photo Table in the database directory, whatever record set a window shows. A
// result longer than KEYWORD keeps its first 255 characters. Nothing else of a record is
// read or written, and the Keyword Table is not touched.
//
// All of it is one transaction: either every matching record is changed, or, when anything
// fails (the engine's error is thrown), none is. progress, when given, is called with the
// number of records read so far, after each record.
//
// An empty oldText or newText is refused ("Old Keyword is empty.", "New Keyword is
// empty."): the one would put newText in front of every Keyword String, the other could
// leave a record without the value KEYWORD must have.
KeywordReplaceResult replaceKeywordInPhotoTable(const QString &directory, const QString &oldText,
                                                const QString &newText,
                                                const std::function<void(int)> &progress = {});

} // namespace pictavo
