#include "db/btree_warmer.h"

#include "db/big_endian.h"
#include "db/engine_error.h"
#include "db/sqlite_statement.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sqlite3.h>

namespace pictavo {

namespace {

// Enough for the key index of millions of photos; a damaged tree that seems larger is
// not followed further.
constexpr std::size_t kPageLimit = 1u << 16;

constexpr unsigned char kInteriorIndexPage = 0x02;
constexpr unsigned char kInteriorTablePage = 0x05;
constexpr int kInteriorHeaderSize = 12;

struct FileShape
{
    unsigned pageSize = 0;
    unsigned usableSize = 0;
    unsigned pageCount = 0;
};

bool readShape(int fd, FileShape &shape)
{
    unsigned char header[100];
    if (::pread(fd, header, sizeof header, 0) != ssize_t(sizeof header) ||
        std::memcmp(header, "SQLite format 3", 16) != 0)
        return false;
    shape.pageSize = be16(header + 16) == 1 ? 65536u : be16(header + 16);
    if (shape.pageSize < 512 || shape.pageSize > 65536 ||
        (shape.pageSize & (shape.pageSize - 1)) != 0)
        return false;
    shape.usableSize = shape.pageSize - header[20];
    struct stat info;
    if (shape.usableSize < 480 || ::fstat(fd, &info) != 0)
        return false;
    shape.pageCount = unsigned(std::min<off_t>(info.st_size / shape.pageSize, 0xffffffffu));
    return true;
}

// One request per run of neighbouring pages, all before any is waited for.
void askForPages(int fd, std::vector<unsigned> pages, unsigned pageSize)
{
    std::sort(pages.begin(), pages.end());
    for (std::size_t i = 0; i < pages.size();) {
        std::size_t end = i + 1;
        while (end < pages.size() && pages[end] == pages[end - 1] + 1)
            ++end;
        ::posix_fadvise(fd, off_t(pages[i] - 1) * pageSize, off_t(end - i) * pageSize,
                        POSIX_FADV_WILLNEED);
        i = end;
    }
}

constexpr unsigned char kLeafTablePage = 0x0d;
constexpr int kDeepestTree = 20;

// A varint as SQLite writes it, read no further than `end`; 0 bytes when it runs past.
int readVarint(const unsigned char *p, const unsigned char *end, quint64 &value)
{
    value = 0;
    for (int i = 0; i < 9 && p + i < end; ++i) {
        if (i == 8) {
            value = value << 8 | p[i];
            return 9;
        }
        value = value << 7 | (p[i] & 0x7f);
        if ((p[i] & 0x80) == 0)
            return i + 1;
    }
    return 0;
}

// The overflow pages of the record `rowId` on the table leaf `page`: where they start and
// how many there are, as the record's size says. {0, 0} when it has none, or when the
// page does not hold it in a form that can be trusted.
std::pair<unsigned, unsigned> overflowOf(const std::vector<unsigned char> &page,
                                         const FileShape &shape, qint64 rowId)
{
    const unsigned usable = shape.usableSize;
    const unsigned char *end = page.data() + usable;
    const unsigned cells = be16(&page[3]);
    for (unsigned c = 0; c < cells && 8 + 2 * c + 2 <= usable; ++c) {
        const unsigned offset = be16(&page[8 + 2 * c]);
        if (offset >= usable)
            continue;
        const unsigned char *cell = page.data() + offset;
        quint64 payload = 0, key = 0;
        const int sizeLength = readVarint(cell, end, payload);
        const int keyLength = sizeLength ? readVarint(cell + sizeLength, end, key) : 0;
        if (keyLength == 0 || qint64(key) != rowId)
            continue;
        // How much of a record stays on its leaf, by SQLite's file format.
        const quint64 maxLocal = usable - 35;
        if (payload <= maxLocal)
            return {0, 0};
        const quint64 minLocal = (usable - 12) * 32 / 255 - 23;
        quint64 local = minLocal + (payload - minLocal) % (usable - 4);
        if (local > maxLocal)
            local = minLocal;
        const unsigned char *pointer = cell + sizeLength + keyLength;
        if (quint64(end - pointer) < local + 4)
            return {0, 0};
        const unsigned first = be32(pointer + local);
        const quint64 count = (payload - local + usable - 5) / (usable - 4);
        if (first < 1 || first > shape.pageCount || count > shape.pageCount - first + 1)
            return {0, 0};
        return {first, unsigned(count)};
    }
    return {0, 0};
}

} // namespace

BtreeWarmer::~BtreeWarmer()
{
    for (const int fd : std::as_const(m_files))
        if (fd >= 0)
            ::close(fd);
}

void BtreeWarmer::forget(const QString &schema)
{
    const int fd = m_files.take(schema);
    if (fd >= 0)
        ::close(fd);
}

int BtreeWarmer::fileOf(sqlite3 *db, const QString &schema)
{
    const auto found = m_files.constFind(schema);
    if (found != m_files.constEnd())
        return *found;
    const char *path = sqlite3_db_filename(db, schema.toUtf8().constData());
    const int fd = (path != nullptr && *path != '\0') ? ::open(path, O_RDONLY | O_CLOEXEC) : -1;
    m_files.insert(schema, fd);
    return fd;
}

void BtreeWarmer::warmIndexesOf(sqlite3 *db, const QString &sql)
{
    try {
        for (const auto &[schema, root] : indexRootsOf(db, sql))
            if (const int fd = fileOf(db, schema); fd >= 0)
                warmTree(fd, root, kPageLimit);
    } catch (const EngineError &) {
        // Only a hint: the statement itself will meet and report any real trouble.
    }
}

void BtreeWarmer::warmRows(sqlite3 *db, const QString &schema, const QString &table,
                           const std::vector<qint64> &rowIds)
{
    if (rowIds.empty())
        return;
    try {
        SqliteStatement root(db, QStringLiteral("SELECT rootpage FROM %1.sqlite_master WHERE "
                                                "type='table' AND name=?")
                                     .arg(quoted(schema)));
        root.bind(1, table);
        if (root.step())
            if (const int fd = fileOf(db, schema); fd >= 0)
                warmTableRows(fd, unsigned(root.columnInt64(0)), rowIds);
        root.reset();
    } catch (const EngineError &) {
        // Only a hint, as above.
    }
}

BtreeWarmer::RowPages BtreeWarmer::warmTableRows(int fd, unsigned root,
                                                 const std::vector<qint64> &rowIds)
{
    RowPages asked;
    FileShape shape;
    if (rowIds.empty() || !readShape(fd, shape) || root < 1 || root > shape.pageCount)
        return asked;
    const qint64 first = rowIds.front();
    std::vector<qint64> sorted = rowIds;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());

    // Level by level from the root: each page, and the rows sought under it. Only the
    // interior pages on the way are read, and the first leaf.
    std::vector<std::pair<unsigned, std::vector<qint64>>> level{{root, sorted}};
    std::vector<unsigned char> page(shape.pageSize);
    for (int depth = 0; depth < kDeepestTree && !level.empty(); ++depth) {
        std::vector<unsigned> pages;
        for (const auto &entry : level)
            pages.push_back(entry.first);
        if (depth > 0)
            askForPages(fd, pages, shape.pageSize);
        std::vector<std::pair<unsigned, std::vector<qint64>>> next;
        for (const auto &[number, sought] : level) {
            if (::pread(fd, page.data(), shape.pageSize, off_t(number - 1) * shape.pageSize) !=
                ssize_t(shape.pageSize))
                return asked;
            const unsigned header = number == 1 ? 100 : 0;
            if (page[header] == kLeafTablePage) {
                // The pages of one level are all of a kind: these are the leaves, asked for
                // already. The first record's photo is read next, so its pages are asked
                // for too, as one run: a photo written in one go lies in neighbouring pages.
                asked.leaves = pages;
                if (header == 0 && std::binary_search(sought.begin(), sought.end(), first)) {
                    const auto [overflow, count] = overflowOf(page, shape, first);
                    if (overflow != 0)
                        ::posix_fadvise(fd, off_t(overflow - 1) * shape.pageSize,
                                        off_t(count) * shape.pageSize, POSIX_FADV_WILLNEED);
                    asked.overflowFirst = overflow;
                    asked.overflowCount = count;
                }
                return asked;
            }
            if (page[header] != kInteriorTablePage)
                return asked;
            // Each cell points to the subtree of the keys up to its own; the right-most
            // pointer to the rest.
            const unsigned cells = be16(&page[header + 3]);
            const unsigned pointers = header + kInteriorHeaderSize;
            std::size_t s = 0;
            for (unsigned c = 0;
                 c < cells && s < sought.size() && pointers + 2 * c + 2 <= shape.usableSize; ++c) {
                const unsigned cell = be16(&page[pointers + 2 * c]);
                quint64 key = 0;
                if (cell + 4 >= shape.usableSize ||
                    readVarint(&page[cell + 4], page.data() + shape.usableSize, key) == 0)
                    return asked;
                const std::size_t from = s;
                while (s < sought.size() && sought[s] <= qint64(key))
                    ++s;
                if (s > from)
                    next.emplace_back(be32(&page[cell]),
                                      std::vector<qint64>(sought.begin() + qint64(from),
                                                          sought.begin() + qint64(s)));
            }
            if (s < sought.size())
                next.emplace_back(be32(&page[header + 8]),
                                  std::vector<qint64>(sought.begin() + qint64(s), sought.end()));
        }
        for (const auto &entry : next)
            if (entry.first < 1 || entry.first > shape.pageCount)
                return asked;
        // The page on the way to the first record goes first: of the leaves, only the
        // first is read, and it must be that record's.
        const auto holdsFirst = std::find_if(next.begin(), next.end(), [&](const auto &entry) {
            return std::binary_search(entry.second.begin(), entry.second.end(), first);
        });
        if (holdsFirst != next.end())
            std::rotate(next.begin(), holdsFirst, holdsFirst + 1);
        level = std::move(next);
    }
    return asked;
}

std::vector<std::pair<QString, unsigned>> BtreeWarmer::indexRootsOf(sqlite3 *db, const QString &sql)
{
    // The program's columns: addr, opcode, p1, p2 (the root page), p3 (the database).
    std::vector<std::pair<qint64, unsigned>> opened; // (database number, root page)
    SqliteStatement program(db, QStringLiteral("EXPLAIN ") + sql);
    while (program.step())
        if (program.columnText(1) == QLatin1String("OpenRead"))
            opened.emplace_back(program.columnInt64(4), unsigned(program.columnInt64(3)));
    program.reset();

    std::vector<std::pair<QString, unsigned>> roots;
    if (opened.empty())
        return roots;
    QHash<qint64, QString> schemas;
    SqliteStatement databases(db, QStringLiteral("PRAGMA database_list"));
    while (databases.step())
        schemas.insert(databases.columnInt64(0), databases.columnText(1));
    databases.reset();
    for (const auto &[number, root] : opened) {
        const QString schema = schemas.value(number);
        if (schema.isEmpty())
            continue;
        const std::pair<QString, unsigned> entry(schema, root);
        if (std::find(roots.begin(), roots.end(), entry) != roots.end())
            continue;
        SqliteStatement isIndex(db, QStringLiteral("SELECT 1 FROM %1.sqlite_master WHERE "
                                                   "type='index' AND rootpage=?")
                                        .arg(quoted(schema)));
        isIndex.bind(1, qint64(root));
        if (isIndex.step())
            roots.push_back(entry);
        isIndex.reset();
    }
    return roots;
}

std::vector<unsigned> BtreeWarmer::warmTree(int fd, unsigned root, std::size_t limit)
{
    std::vector<unsigned> warmed;
    FileShape shape;
    if (!readShape(fd, shape) || root < 1 || root > shape.pageCount)
        return warmed;
    std::unordered_set<unsigned> seen{root};
    std::vector<unsigned> level{root};
    std::vector<unsigned char> page(shape.pageSize);
    while (!level.empty() && warmed.size() < limit) {
        if (level.size() > limit - warmed.size())
            level.resize(limit - warmed.size());
        warmed.insert(warmed.end(), level.begin(), level.end());
        askForPages(fd, level, shape.pageSize);

        std::vector<unsigned> next;
        const auto follow = [&](unsigned child) {
            if (child >= 1 && child <= shape.pageCount && seen.insert(child).second)
                next.push_back(child);
        };
        for (std::size_t i = 0; i < level.size(); ++i) {
            const off_t offset = off_t(level[i] - 1) * shape.pageSize;
            if (::pread(fd, page.data(), shape.pageSize, offset) != ssize_t(shape.pageSize))
                continue;
            const unsigned header = level[i] == 1 ? 100 : 0;
            const unsigned char type = page[header];
            if (type != kInteriorIndexPage && type != kInteriorTablePage) {
                // The pages of one level are all of a kind: leaves need no parsing, only
                // asking for, which is done.
                if (i == 0)
                    break;
                continue;
            }
            const unsigned cells = be16(&page[header + 3]);
            const unsigned pointers = header + kInteriorHeaderSize;
            for (unsigned c = 0; c < cells && pointers + 2 * c + 2 <= shape.usableSize; ++c) {
                const unsigned cell = be16(&page[pointers + 2 * c]);
                if (cell + 4 <= shape.usableSize)
                    follow(be32(&page[cell]));
            }
            follow(be32(&page[header + 8]));
        }
        level = std::move(next);
    }
    return warmed;
}

} // namespace pictavo
