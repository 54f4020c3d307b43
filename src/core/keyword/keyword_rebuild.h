#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pictavo {

// The occurrences of each keyword over many Keyword Strings, as the Keyword Table knows
// keywords: split by the one rule of ExtractKeyword, each keyword cut to the first 32
// characters of the KEYWORD field, letter case counting, and an empty keyword left out
// (the field cannot hold it). The strings are taken as UTF-8 bytes: every character the
// rule trims (code 32 or less) and the separator are single bytes there, and no byte of
// a longer character is one of them, so working on the bytes gives the same keywords
// without making a string of each.
class KeywordTally
{
public:
    // keywordSize: the characters of the KEYWORD field.
    explicit KeywordTally(int keywordSize = 32);
    void addKeywordString(std::string_view utf8);

    struct Entry
    {
        std::string keyword; // UTF-8
        std::int64_t count = 0;
    };
    // Every distinct keyword with its count, in the Keyword Table's key order (by bytes,
    // as SQLite compares text).
    std::vector<Entry> sortedEntries() const;

    std::int64_t distinct() const { return std::int64_t(m_counts.size()); }
    std::int64_t occurrences() const { return m_occurrences; }

private:
    struct Hash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept
        {
            return std::hash<std::string_view>()(text);
        }
    };
    std::unordered_map<std::string, std::int64_t, Hash, std::equal_to<>> m_counts;
    int m_keywordSize;
    std::int64_t m_occurrences = 0;
};

// What a rebuild shows while it runs. Each phase first gets its number of steps, then
// positions up to it; positions are reported in steps of about a hundredth of the phase,
// so a window can repaint at each without slowing a large rebuild down.
class RebuildProgress
{
public:
    enum Phase
    {
        Extracting, // each record's Keyword String taken apart and counted
        Copying,    // the distinct keywords put in key order
        Counting    // each keyword written with its count
    };
    virtual ~RebuildProgress() = default;
    virtual void setRange(Phase phase, int steps) = 0;
    virtual void setPosition(Phase phase, int position) = 0;
};

struct RebuildResult
{
    std::int64_t keywords = 0;    // rows of the new Keyword Table
    std::int64_t occurrences = 0; // keywords counted over all Keyword Strings
};

// Recounts the Keyword Table of the database in the directory from the Keyword Strings of
// every photo record. Only KEYWORD is read, never a photo. The old rows, counts set by
// hand and keywords no photo carries any more included, are replaced by one row per
// distinct keyword with its number of occurrences, in one transaction: on any failure
// the Keyword Table is left exactly as it was and the engine's error is thrown. A scratch
// table "work.db" left in the directory by an earlier program is removed first.
RebuildResult rebuildKeywordTable(const QString &directory, RebuildProgress *progress = nullptr);

} // namespace pictavo
