#include "keyword/keyword_string.h"

namespace pictavo {

namespace {

// Not QString::trimmed(): only codes up to 32 count, so an ideographic space (U+3000) or a
// no-break space stays part of a keyword.
bool isBlank(QChar c)
{
    return c.unicode() <= 32;
}

} // namespace

void ExtractKeyword(QString &remaining, const QString &separator, QString &keyword)
{
    qsizetype begin = 0;
    qsizetype end = remaining.size();
    while (begin < end && isBlank(remaining[begin]))
        ++begin;
    while (end > begin && isBlank(remaining[end - 1]))
        --end;
    const QStringView text = QStringView(remaining).sliced(begin, end - begin);

    const qsizetype index = text.indexOf(separator);
    if (index < 0) {
        keyword = text.toString();
        remaining.clear();
    } else {
        keyword = text.first(index).toString();
        remaining = text.sliced(index + separator.size()).toString();
    }
}

QStringList splitKeywords(const QString &keywordString)
{
    QStringList keywords;
    forEachKeyword(keywordString, [&keywords](const QString &keyword) { keywords << keyword; });
    return keywords;
}

QString JoinKeywords(const QStringList &keywords)
{
    QString result;
    for (const QString &keyword : keywords) {
        if (result.isEmpty())
            result = keyword;
        else
            result += kKeywordSeparator + keyword;
    }
    return result;
}

} // namespace pictavo
