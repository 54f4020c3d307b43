#include "view/version_info.h"

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
        {QStringLiteral("Homepage"), QString::fromUtf8(PICTAVO_HOMEPAGE)},
        {QStringLiteral("InternalName"), QStringLiteral("pictavo")},
    };
    return strings.value(name);
}

QString versionMessage(const std::function<QString(const QString &)> &read)
{
    const QChar cr = QLatin1Char('\r');
    return read(QStringLiteral("ProductName")) + cr + read(QStringLiteral("FileDescription")) +
           cr + QStringLiteral("Version ") + read(QStringLiteral("FileVersion")) + cr +
           QStringLiteral("Copyright ") + read(QStringLiteral("LegalCopyright")) + cr +
           QStringLiteral("Homepage ") + read(QStringLiteral("Homepage"));
}

} // namespace pictavo
