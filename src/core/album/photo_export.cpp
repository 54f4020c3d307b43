#include "album/photo_export.h"

#include "base/error.h"
#include "base/prompter.h"
#include "db/dataset.h"

#include <QFileInfo>
#include <QSaveFile>

namespace pictavo {

namespace {

[[noreturn]] void failSave(const QString &fileName, const QString &reason)
{
    throw Error(QStringLiteral("Could not save to \"%1\": %2").arg(fileName, reason));
}

} // namespace

void saveWholeFile(const QString &fileName, const QByteArray &bytes)
{
    QSaveFile file(fileName);
    // Writing in place when no temporary file can be made would risk the very damage the
    // temporary file exists to prevent.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        failSave(fileName, file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        failSave(fileName, reason);
    }
    if (!file.commit())
        failSave(fileName, file.errorString());
}

void exportPhoto(const DataSet &album, const QString &fileName)
{
    saveWholeFile(fileName, album.readBlob(QStringLiteral("IMAGE")));
}

QString exportFileName(const DataSet &album)
{
    return album.asString(QStringLiteral("NAME")) + album.asString(QStringLiteral("EXT"));
}

bool ExportCurrentPhoto(DataSet &album, Prompter &prompter)
{
    if (album.recordCount() == 0) {
        prompter.warning(QStringLiteral("No record."));
        return false;
    }
    const std::optional<QString> chosen =
        prompter.saveFile(QStringLiteral("Export"), exportFileName(album),
                          QStringLiteral("*.jpg,*.jpeg|*.jpg;*.jpeg"));
    if (!chosen)
        return false;
    const QString &fileName = *chosen;
    if (QFileInfo::exists(fileName)) {
        const QString question = QStringLiteral("The file \"") + fileName +
                                 QStringLiteral("\" is already existed.") + QLatin1Char('\r') +
                                 QStringLiteral("Do you overwrite it?");
        if (prompter.message(Prompter::Kind::Confirmation, question,
                             Prompter::Yes | Prompter::No) != Prompter::Yes)
            return false;
    }
    try {
        exportPhoto(album, fileName);
    } catch (const Error &) {
        prompter.warning(QStringLiteral("Could not save to \"") + fileName + QStringLiteral("\"."));
        return false;
    }
    prompter.information(QStringLiteral("Exported to \"") + fileName + QStringLiteral("\"."));
    return true;
}

} // namespace pictavo
