#include "album/record_maintenance.h"

#include "base/prompter.h"
#include "db/dataset.h"
#include "db/table.h"
#include "keyword/keyword_string.h"
#include "keyword/keyword_table.h"

namespace pictavo {

void CheckNewKeywords(const DataSet &album, Table &keywordTable, Prompter &prompter)
{
    const QString keywordString = album.asString(QStringLiteral("KEYWORD"));
    if (keywordString.isEmpty())
        return;
    forEachKeyword(keywordString, [&](const QString &keyword) {
        if (FindKeyword(keywordTable, keyword))
            return;
        const QString question = QStringLiteral("\"") + keyword +
                                 QStringLiteral("\" is a new keyword. ") +
                                 QStringLiteral("Would you append it into the database?");
        if (prompter.message(Prompter::Kind::Confirmation, question,
                             Prompter::Yes | Prompter::No) == Prompter::Yes)
            AddKeyword(keywordTable, keyword, 1);
    });
}

bool RecordWithoutPhoto(const DataSet &album)
{
    const QString image = QStringLiteral("IMAGE");
    if (album.active() && album.fieldIndex(image) < 0)
        return true;
    return album.isNull(image);
}

void CountView(DataSet &album)
{
    // A library that can only be read is still shown; its views go uncounted.
    if (album.isLive() && !album.canModify())
        return;
    const QString countField = QStringLiteral("COUNT");
    const qint64 count = album.asInteger(countField);
    const bool startedHere = album.state() == DataSet::State::Browse;
    album.edit();
    try {
        album.setValue(countField, count + 1);
        album.post();
    } catch (...) {
        // A count that cannot be written leaves no edit behind that the user did not start.
        if (startedHere)
            album.cancel();
        throw;
    }
}

} // namespace pictavo
