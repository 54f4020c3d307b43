#pragma once

#include <QByteArray>

#include <vector>

namespace pictavo::bench {

// Where a child's standard output and standard error go: a file (created or truncated;
// "/dev/null" throws the output away), or, when empty, wherever ours go.
struct ChildOutput
{
    QByteArray out;
    QByteArray err;
};

struct ChildRun
{
    bool ok = false;   // started, and exited with status 0
    double wallMs = 0; // spawn to reaped
    double cpuMs = 0;  // user + system, as the kernel accounted it
    long pageFaults = 0;
    long maxRssKb = 0; // the child's largest resident set
};

// Runs `program` (a path, no PATH search) with `args` to its end.
ChildRun runProcess(const QByteArray &program, const std::vector<QByteArray> &args,
                    const ChildOutput &output = {});

} // namespace pictavo::bench
