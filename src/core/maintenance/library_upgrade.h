#pragma once

#include <QString>
#include <functional>

namespace pictavo {

// An earlier version kept each photo in its record's row of the Photo Table; this one
// keeps the photos apart (see TableLayout). A library in the earlier layout is upgraded
// once, never in place: the new Photo Table is written into a work folder beside the old
// one, checked, and put in the old one's place by one rename, under a lock that keeps
// every other writer out from the first read to the rename. So a crash at any moment
// leaves the old table or the new one whole, and a failure (a full disk) the old one.

// Whether the Photo Table in `directory` is in the earlier layout; false when there is
// none (the commands report that their own way). Throws Error when it cannot be read.
bool libraryNeedsUpgrade(const QString &directory);

// The free disk the upgrade needs (room for a second Photo Table) and what there is, in
// bytes.
struct UpgradeSpace
{
    qint64 needed = 0;
    qint64 available = 0;
};
UpgradeSpace upgradeSpace(const QString &directory);

// The question the program asks before it upgrades, with the space needed.
QString upgradeQuestionText(const QString &directory);

struct UpgradeSummary
{
    qint64 records = 0;
    qint64 photoBytes = 0;
};

// Upgrades the library in `directory`; `progress` is told (records copied, records) as
// it goes. Throws Error, leaving the library as it was, when it cannot (a full disk, a
// read-only folder, a library already upgraded, a copy that fails the check).
UpgradeSummary upgradeLibrary(const QString &directory,
                              const std::function<void(qint64, qint64)> &progress = {});

} // namespace pictavo
