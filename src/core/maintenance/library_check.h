#pragma once

#include <QString>
#include <functional>

namespace pictavo {

// One thing the check found, as one line of its report.
struct CheckFinding
{
    enum class Kind
    {
        Table,     // a table file is missing, unreadable or fails SQLite's integrity check
        Photo,     // a record's photo is missing, of another size than recorded, or no JPEG
        Duplicate, // a record holds the same photo bytes as an earlier one
        Keyword,   // the Keyword Table differs from what a rebuild would make
        Warning,   // a photo decodes, but libjpeg had to recover from damaged data
        Leftover,  // the folder of a backup into this folder that was cut short
    };
    Kind kind;
    qint64 serial = 0; // of the record, for Photo, Duplicate and Warning
    QString text;      // the whole line, e.g. "SERIAL 12: not a JPEG picture: ..."

    // Keyword differences and decoder warnings are states the program itself leaves
    // (counts are exact only after a rebuild; a truncated file is stored as it is), so
    // they are reported without calling the library damaged.
    bool isDamage() const
    {
        return kind == Kind::Table || kind == Kind::Photo || kind == Kind::Duplicate;
    }
};

struct CheckOptions
{
    // Decode every photo whole instead of reading its header only.
    bool decode = false;
    // Read the Photo Table's file ahead of the check on a thread of its own; not worth it
    // when the file was just written and is still in the OS cache.
    bool readAhead = true;
    // Each finding as it is found.
    std::function<void(const CheckFinding &)> report;
    // After each photo: how many have been read of how many.
    std::function<void(qint64 done, qint64 total)> progress;
};

struct CheckSummary
{
    qint64 photos = 0;
    qint64 photoBytes = 0;
    int tableFaults = 0;
    int damagedPhotos = 0;
    int duplicates = 0;
    int keywordDifferences = 0;
    int warnings = 0;
    int leftovers = 0;

    bool sound() const { return tableFaults == 0 && damagedPhotos == 0 && duplicates == 0; }
    // "N photos, N damaged, N duplicates, N table faults, N keyword differences", and
    // ", N backup leftovers" when there are any
    QString text() const;
};

// Reads the database in `directory` through read-only connections and reports what is
// wrong: SQLite's integrity check of each table file; each photo record (IMAGE present,
// IMAGE_SIZE equal to its length, a JPEG header libjpeg reads, or a whole decode);
// records holding equal photo bytes (found by size, then bytes); and the Keyword Table
// against the keywords of all photos. Photos are read once, in rowid order, one at a
// time. Last, the folders of backups into `directory` that were cut short, which the
// next backup there removes. Never writes.
CheckSummary checkLibrary(const QString &directory, const CheckOptions &options = {});

} // namespace pictavo
