#pragma once

#include <QHash>
#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <utility>
#include <vector>

struct sqlite3;

namespace pictavo {

// Brings the pages of the indexes a statement is about to scan into the OS cache before
// it runs. SQLite reads a b-tree one page at a time, each read waiting for the one before;
// on a cold cache an index spread through a file of photos costs a disk round trip per
// page. Here each level of the tree is asked for at once (posix_fadvise), so the disk
// serves a whole level in parallel, and only the few interior pages are read and parsed.
// It is a hint and nothing more: what SQLite reads and answers is unchanged, and a page
// that is not what it seems (a damaged file, one changing under us) costs at most a
// useless read. Nothing here ever fails an open.
class BtreeWarmer
{
public:
    BtreeWarmer() = default;
    ~BtreeWarmer();
    BtreeWarmer(const BtreeWarmer &) = delete;
    BtreeWarmer &operator=(const BtreeWarmer &) = delete;

    // Warms every index b-tree that `sql`, prepared on `db`, opens for reading.
    void warmIndexesOf(sqlite3 *db, const QString &sql);

    // Asks for the table leaves that hold the records `rowIds` of `table` (the rows a
    // grid shows first), and for the overflow pages of the first one's photo.
    void warmRows(sqlite3 *db, const QString &schema, const QString &table,
                  const std::vector<qint64> &rowIds);

    // Lets go of the file attached under `schema`. Call it only after SQLite has closed
    // that file: closing any descriptor of a file drops every POSIX lock the process
    // holds on it, SQLite's included, so a file opened here stays open until then.
    void forget(const QString &schema);

    // The (schema, root page) of each index b-tree that `sql` opens for reading.
    static std::vector<std::pair<QString, unsigned>> indexRootsOf(sqlite3 *db, const QString &sql);

    // Warms the b-tree rooted at page `root` of the SQLite file open as `fd`, level by
    // level, and returns the pages asked for, at most `limit`, each once.
    static std::vector<unsigned> warmTree(int fd, unsigned root, std::size_t limit);

    // What warmTableRows asked for: the leaves, and the run of pages taken for the first
    // record's overflow pages (none when it has none).
    struct RowPages
    {
        std::vector<unsigned> leaves;
        unsigned overflowFirst = 0;
        unsigned overflowCount = 0;
    };
    // Follows the table b-tree rooted at `root` to the leaves of `rowIds`, reading only
    // the interior pages on the way and the first leaf.
    static RowPages warmTableRows(int fd, unsigned root, const std::vector<qint64> &rowIds);

private:
    int fileOf(sqlite3 *db, const QString &schema);

    QHash<QString, int> m_files; // schema name -> read-only descriptor
};

} // namespace pictavo
