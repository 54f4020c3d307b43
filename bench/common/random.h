#pragma once

#include <QtGlobal>

namespace pictavo::bench {

// A small, fast generator (splitmix64) whose sequence is the same on every machine and
// library version, so that a benchmark built again makes the same data.
class Random
{
public:
    explicit Random(quint64 seed) : m_state(seed) {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    // In [0, bound).
    int below(int bound) { return int(next() % quint64(bound)); }
    // In [0, 1).
    double unit() { return double(next() >> 11) / double(1ull << 53); }

private:
    quint64 m_state;
};

} // namespace pictavo::bench
