#pragma once

#include <QStringList>
#include <QTextStream>

namespace pictavo::cli {

// thumbnails DIR [--verify]: makes every missing thumbnail in DIR's thumbs.db, with a
// progress line on `err`; prints a line for each photo that cannot be decoded, then
// "N photos, N thumbnails made, N not decodable". Returns 0 when done, 1 when it failed,
// 2 for a usage error.
int thumbnails(const QStringList &args, QTextStream &out, QTextStream &err);

} // namespace pictavo::cli
