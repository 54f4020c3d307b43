#include "cli_runner.h"

#include <QProcess>

namespace pictavo::test {

Run cli(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral(PICTAVO_CLI), args);
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace pictavo::test
