#include "keyword/keyword_assist_list.h"

#include "keyword/keyword_string.h"

#include <algorithm>

namespace pictavo {

namespace {

// The order the list keeps its entries in: alphabetical, letter case not deciding ("apple",
// "Bird", "cat"); texts that differ only in letter case follow in binary order ("CAT"
// before "cat"), so the order is total.
bool entryLess(const AssistEntry &a, const AssistEntry &b)
{
    const int folded = QString::compare(a.text, b.text, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a.text < b.text;
}

} // namespace

AssistEntries loadAssistEntries(const AssistEntries &previous, const QStringList &tableKeywords,
                                const QString &keywordString)
{
    AssistEntries entries;
    if (tableKeywords.isEmpty()) {
        entries = previous;
    } else {
        entries.reserve(tableKeywords.size());
        for (const QString &keyword : tableKeywords)
            entries.append({keyword, false});
        // The table comes in its key order (binary); the list has its own.
        std::stable_sort(entries.begin(), entries.end(), entryLess);
    }
    forEachKeyword(keywordString, [&entries](const QString &keyword) {
        // An exact match wins: with "CAT" and "cat" both listed, "cat" is ticked, so that
        // Enter writes the record back as it was.
        auto found =
            std::find_if(entries.begin(), entries.end(),
                         [&keyword](const AssistEntry &entry) { return entry.text == keyword; });
        if (found == entries.end())
            found =
                std::find_if(entries.begin(), entries.end(), [&keyword](const AssistEntry &entry) {
                    return QString::compare(entry.text, keyword, Qt::CaseInsensitive) == 0;
                });
        if (found != entries.end())
            found->checked = true;
        else
            entries.insert(std::upper_bound(entries.begin(), entries.end(),
                                            AssistEntry{keyword, true}, entryLess),
                           {keyword, true});
    });
    return entries;
}

QString assistKeywordString(const AssistEntries &entries)
{
    QStringList checked;
    for (const AssistEntry &entry : entries)
        if (entry.checked)
            checked << entry.text;
    return JoinKeywords(checked);
}

} // namespace pictavo
