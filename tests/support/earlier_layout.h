#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

namespace pictavo::test {

// A record of a Photo Table as the earlier version stored it.
struct EarlierRecord
{
    QString prefix, name, keyword, memo;
    QByteArray image, thumbnail;
    int count = 0;
};

// Replaces the Photo Table in `dir` by one in the earlier version's layout, each photo in
// its record's row, holding `records` (SERIALs from 1) less those whose SERIAL is above
// `keepUpTo` (deleted, so that their numbers are spent); false when SQLite fails.
bool writeEarlierPhotoTable(const QString &dir, const QVector<EarlierRecord> &records,
                            qint64 keepUpTo = -1);

} // namespace pictavo::test
