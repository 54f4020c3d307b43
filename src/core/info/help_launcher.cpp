#include "info/help_launcher.h"

#include "info/help_page.h"
#include "version_config.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace pictavo {

HelpLocations HelpLocations::ofThisProgram()
{
    return forProgramIn(QCoreApplication::applicationDirPath(), QDir::currentPath());
}

HelpLocations HelpLocations::forProgramIn(const QString &programDir, const QString &currentDir)
{
    // The program file is in <prefix>/bin; the manual in <prefix>/<datadir>/pictavo/manual.
    return {currentDir, programDir,
            QDir::cleanPath(programDir + QStringLiteral("/../") +
                            QStringLiteral(PICTAVO_INSTALL_DATADIR) +
                            QStringLiteral("/pictavo/manual"))};
}

QString locateHelpPage(const QString &relativePath, const HelpLocations &where)
{
    // The page paths are written with backslashes; the file name is the last part.
    QString path = relativePath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString fileName = path.section(QLatin1Char('/'), -1);
    QStringList candidates;
    if (!where.currentDir.isEmpty())
        candidates << where.currentDir + QLatin1Char('/') + path;
    if (!where.programDir.isEmpty())
        candidates << where.programDir + QLatin1Char('/') + path;
    if (!where.manualDir.isEmpty())
        candidates << where.manualDir + QLatin1Char('/') + fileName;
    for (const QString &candidate : candidates) {
        const QFileInfo info(candidate);
        if (info.isFile())
            return QDir::cleanPath(info.absoluteFilePath());
    }
    return {};
}

QString manualAddress(const HelpLocations &where)
{
    const QString index = locateHelpPage(QStringLiteral("..\\manual\\index.html"), where);
    return index.isEmpty() ? QStringLiteral("none") : QUrl::fromLocalFile(index).toString();
}

int openHelpPage(const QString &relativePath, const HelpLocations &where, DocumentOpener &opener)
{
    const QString file = locateHelpPage(relativePath, where);
    if (file.isEmpty())
        return kHelpNotFound;
    return opener.openDocument(file) ? kHelpOpened : kHelpNoOpener;
}

} // namespace pictavo
