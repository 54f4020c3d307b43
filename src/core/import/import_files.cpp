#include "import/import_files.h"

#include "base/error.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pictavo {

QByteArray readWholeFile(const QString &path)
{
    QFile file(path);
    const auto failure = [&] {
        return Error(
            QStringLiteral("Could not read the file \"%1\": %2").arg(path, file.errorString()));
    };
    if (!file.open(QIODevice::ReadOnly))
        throw failure();
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw failure();
    return bytes;
}

FileStamp fileStamp(const QString &path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return FileStamp();
    const auto ns = [](const timespec &t) { return qint64(t.tv_sec) * 1000000000 + t.tv_nsec; };
    return {qint64(st.st_ino), qint64(st.st_size), ns(st.st_mtim), ns(st.st_ctim)};
}

bool syncDirectory(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace pictavo
