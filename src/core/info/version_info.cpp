#include "info/version_info.h"

#include "info/help_launcher.h"
#include "version_config.h"

#include <QHash>

namespace pictavo {

QString ReadVersionString(const QString &name)
{
    static const QHash<QString, QString> strings = {
        {QStringLiteral("ProductName"), QStringLiteral(PICTAVO_PRODUCT_NAME)},
        {QStringLiteral("FileDescription"), QStringLiteral(PICTAVO_FILE_DESCRIPTION)},
        {QStringLiteral("FileVersion"), QStringLiteral(PICTAVO_VERSION)},
        {QStringLiteral("ProductVersion"), QStringLiteral(PICTAVO_VERSION)},
        {QStringLiteral("LegalCopyright"), QString::fromUtf8(PICTAVO_COPYRIGHT)},
        {QStringLiteral("InternalName"), QStringLiteral("pictavo")},
    };
    // There is no web home page: the line points at the manual the Help menu opens.
    if (name == QLatin1String("Homepage"))
        return manualAddress(HelpLocations::ofThisProgram());
    return strings.value(name);
}

QString versionMessage(const std::function<QString(const QString &)> &read)
{
    // Read one after the other, in the order of the lines.
    const QString product = read(QStringLiteral("ProductName"));
    const QString description = read(QStringLiteral("FileDescription"));
    const QString version = read(QStringLiteral("FileVersion"));
    const QString copyright = read(QStringLiteral("LegalCopyright"));
    const QString homepage = read(QStringLiteral("Homepage"));
    const QChar cr = QLatin1Char('\r');
    return product + cr + description + cr + QStringLiteral("Version ") + version + cr +
           QStringLiteral("Copyright ") + copyright + cr + QStringLiteral("Homepage ") + homepage;
}

} // namespace pictavo
