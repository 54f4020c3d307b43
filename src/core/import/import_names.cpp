#include "import/import_names.h"

namespace pictavo {

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString photoExtension(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : fileName.mid(dot);
}

bool isJpegExtension(const QString &extension)
{
    return extension.compare(QLatin1String(".jpg"), Qt::CaseInsensitive) == 0 ||
           extension.compare(QLatin1String(".jpeg"), Qt::CaseInsensitive) == 0;
}

QString photoBaseName(const QString &fileName, const QString &extension)
{
    if (extension.isEmpty())
        return fileName;
    // The extension is a suffix of the name, so it is always found.
    return fileName.left(fileName.indexOf(extension, 0, Qt::CaseSensitive));
}

PhotoName photoNameOf(const QString &path)
{
    const QString fileName = fileNameOf(path);
    const QString extension = photoExtension(fileName);
    if (extension.isEmpty())
        return {QString(), QStringLiteral("No extention.")};
    const QString base = photoBaseName(fileName, extension);
    if (base.isEmpty())
        return {QString(), QStringLiteral("Name is null string.")};
    return {base.toLower(), QString()};
}

} // namespace pictavo
