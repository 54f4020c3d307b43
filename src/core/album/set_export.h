#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace pictavo {

class DataSet;

// What became of the records of one export.
struct SetExportCounts
{
    int written = 0;
    int withoutPhoto = 0; // records without a photo, passed over
    int notReplaced = 0;  // files that were there already and were kept
    int failed = 0;
    bool stopped = false;
    // "N written, N without photo, N not replaced, N failed"
    QString summary() const;
    // Every photo was written (records without one are no fault).
    bool complete() const { return notReplaced == 0 && failed == 0 && !stopped; }
};

// The export of every photo of a record set into a folder, byte for byte, each as NAME + EXT
// inside a folder named after its PREFIX (none for an empty prefix), names made safe with
// safeFileName. A record whose file name (letter case ignored, so that nothing is lost on a
// disk that ignores it) is taken by an earlier record of the set gets "_" and its SERIAL
// added to its name. With sidecars, each photo gets "<file>.xmp" holding its keywords.
//
// The plan reads only the records' small fields; each photo is read when its turn comes,
// here, and written on a thread of its own while the next one is read, so the export
// holds at most two photos of 16 MB together, or one larger one.
class SetExport
{
public:
    // Plans a file for every record with a photo; throws the engine's error when the set
    // lacks one of the fields it needs.
    SetExport(const DataSet &set, const QString &destination, bool sidecars);

    int recordCount() const { return int(m_targets.size()); }
    // The planned files, relative to the destination, in the order of the set ("" for a
    // record without a photo).
    QStringList plannedFiles() const;
    // The planned files (photos or their sidecars) that are there already.
    QStringList existingFiles() const;

    // Writes the photos in the order of the set; a file that is there already is replaced
    // only when `replace` is set. keepGoing(done, total) is asked after each record; false
    // stops the export there.
    SetExportCounts run(bool replace, const std::function<bool(int, int)> &keepGoing);
    // One line for each photo that was not written: "FILE: reason".
    const QStringList &problems() const { return m_problems; }
    // The program's closing message: the summary, whether it was stopped, and the first
    // problems ("\r" between lines).
    QString closingText(const SetExportCounts &counts) const;

private:
    struct Target
    {
        int row = -1;
        QString file; // relative to the destination; empty: no photo
    };
    bool exists(const Target &target) const;

    const DataSet &m_set;
    QString m_destination;
    bool m_sidecars = false;
    std::vector<Target> m_targets;
    QStringList m_problems;
};

} // namespace pictavo
