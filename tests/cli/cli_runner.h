#pragma once

#include <QString>
#include <QStringList>

namespace pictavo::test {

// What one run of the command-line tool left: its exit status and everything it printed.
struct Run
{
    int code = -1;
    QString out;
    QString err;
};

// Runs the pictavo-cli of this build (PICTAVO_CLI) to its end, as a script would run it.
Run cli(const QStringList &args);

} // namespace pictavo::test
