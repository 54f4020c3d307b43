#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace pictavo {

// One entry of the keyword entry assistant's list: a keyword and its check mark.
struct AssistEntry
{
    QString text;
    bool checked = false;
    friend bool operator==(const AssistEntry &, const AssistEntry &) = default;
};
using AssistEntries = QList<AssistEntry>;

// The list after a load for a record whose Keyword String is keywordString, given the
// Keyword Table's keywords and what the list held before:
// - when the Keyword Table has keywords, the list is those keywords, unchecked; when it has
//   none, the previous entries stay, with their check marks;
// - then, for each keyword of the record in turn, the entry equal to it is checked, else
//   the first entry equal to it with letter case ignored, or, when there is none, the
//   keyword is added checked in its sorted place. An empty keyword ("cat,,dog") is looked
//   up and added like any other.
AssistEntries loadAssistEntries(const AssistEntries &previous, const QStringList &tableKeywords,
                                const QString &keywordString);

// What Enter writes: the checked entries' texts in list order, joined by JoinKeywords.
QString assistKeywordString(const AssistEntries &entries);

} // namespace pictavo
