#pragma once

#include <QString>
#include <QStringList>

namespace pictavo {

// What the easy filter window holds at the moment of a query.
struct EasyFilterEntries
{
    QString prefix;
    QString name;
    QString keyword[3];
    bool notKeyword[3] = {false, false, false};
    // The texts of the ticked items of the keyword list, in list order.
    QStringList tickedKeywords;
    // true joins the terms with AND, false with OR.
    bool useAnd = true;
    // Negates the whole condition.
    bool notAll = false;
};

// The statement the easy filter runs, as its lines: "SELECT * FROM PHOTODB.DB ", then
// "WHERE <condition>" when at least one term was formed, then ";". Texts are used as they
// stand (a blank is not empty; LIKE wildcards keep their meaning), except that a double
// quote is doubled so that it is matched as itself rather than ending the pattern.
QStringList buildEasyFilterStatement(const EasyFilterEntries &entries);

} // namespace pictavo
