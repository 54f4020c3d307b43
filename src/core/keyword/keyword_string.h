#pragma once

#include "db/text_rules.h" // cutToCharacters, shared with the engine

#include <QString>
#include <QStringList>

namespace pictavo {

// A Keyword String holds keywords separated by "," (the only separator; no escapes).
inline const QString kKeywordSeparator = QStringLiteral(",");

// Takes the next keyword off the front of remaining:
// 1. every character of code 32 or less is removed from both ends of remaining;
// 2. P = the position (from 1) of the first separator in what is left, 0 when none;
// 3. P = 0: keyword = all of remaining, and remaining becomes empty;
// 4. P = 1: keyword = empty, and the separator is removed from the front;
// 5. P > 1: keyword = the P-1 characters before the separator as they stand (blanks before
//    the separator stay in it), and they and the separator are removed from the front.
void ExtractKeyword(QString &remaining, const QString &separator, QString &keyword);

// Hands each keyword of keywordString to step, in order. The loop runs while the remaining
// text is not empty, tested before any trimming: a text of blanks only yields one empty
// keyword, an empty text none.
template <typename Step> void forEachKeyword(const QString &keywordString, Step step)
{
    QString remaining = keywordString;
    QString keyword;
    while (!remaining.isEmpty()) {
        ExtractKeyword(remaining, kKeywordSeparator, keyword);
        step(keyword);
    }
}

// The keywords forEachKeyword yields.
QStringList splitKeywords(const QString &keywordString);

// The keywords joined with ",": the result starts empty and each keyword replaces it while it
// is still empty, else is appended after a ",". Nothing is trimmed or tested, so an empty
// first keyword followed by "b" gives "b".
QString JoinKeywords(const QStringList &keywords);

} // namespace pictavo
