#include "common/process_io.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace pictavo::bench {

ProcessIo readProcessIo()
{
    ProcessIo io;
    const int fd = ::open("/proc/self/io", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return io;
    char buffer[1024];
    const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (n <= 0)
        return io;
    buffer[n] = '\0';
    const auto field = [&](const char *name) -> qint64 {
        const char *at = std::strstr(buffer, name);
        return at ? std::strtoll(at + std::strlen(name), nullptr, 10) : -1;
    };
    io.rchar = field("rchar:");
    io.readBytes = field("read_bytes:");
    io.wchar = field("wchar:");
    return io;
}

} // namespace pictavo::bench
