#pragma once

// Numbers in SQLite's file format, which stores them big-endian.
namespace pictavo {

inline unsigned be16(const unsigned char *p)
{
    return unsigned(p[0]) << 8 | p[1];
}

inline unsigned be32(const unsigned char *p)
{
    return unsigned(p[0]) << 24 | unsigned(p[1]) << 16 | unsigned(p[2]) << 8 | p[3];
}

} // namespace pictavo
