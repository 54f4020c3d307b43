#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace pictavo::test {

// Photo records holding the Keyword Strings as they stand (no field rule applied, so an
// empty or a blank string is stored too), written straight into photodb.db in one
// transaction, each with the photo given (one byte when none is).
void writeKeywordStrings(const QString &dir, const QStringList &keywordStrings,
                         const QByteArray &photo = QByteArray(1, '\xFF'));

// Keyword Table rows "KEYWORD|COUNT" written straight into keyword.db.
void writeKeywordRows(const QString &dir, const QStringList &rows);

// Makes keyword.db refuse to store the keyword, with the text given, as a full disk would
// refuse a write in the middle of a rebuild. An empty keyword lifts the refusal.
void refuseKeyword(const QString &dir, const QString &keyword, const QString &text);

// The Keyword Table's rows "KEYWORD|COUNT" in the order of its primary index.
QStringList keywordRows(const QString &dir);

} // namespace pictavo::test
