#include "common/child_process.h"

#include "common/bench_support.h"

#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace pictavo::bench {

namespace {

double ms(const timeval &t)
{
    return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
}

} // namespace

// posix_spawn rather than fork: glibc starts the child without copying the page tables
// of this process, which may hold a few hundred MiB of photos and pixels by then.
ChildRun runProcess(const QByteArray &program, const std::vector<QByteArray> &args,
                    const ChildOutput &output)
{
    std::vector<char *> argv{const_cast<char *>(program.constData())};
    for (const QByteArray &arg : args)
        argv.push_back(const_cast<char *>(arg.constData()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int flags = O_WRONLY | O_CREAT | O_TRUNC;
    if (!output.out.isEmpty())
        posix_spawn_file_actions_addopen(&actions, 1, output.out.constData(), flags, 0644);
    if (!output.err.isEmpty())
        posix_spawn_file_actions_addopen(&actions, 2, output.err.constData(), flags, 0644);

    ChildRun run;
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;
    int status = 0;
    rusage usage{};
    pid_t reaped = -1;
    do {
        reaped = wait4(pid, &status, 0, &usage);
    } while (reaped < 0 && errno == EINTR);
    run.wallMs = msSince(timer);
    run.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    run.pageFaults = usage.ru_minflt + usage.ru_majflt;
    run.maxRssKb = usage.ru_maxrss;
    run.ok = reaped == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

} // namespace pictavo::bench
