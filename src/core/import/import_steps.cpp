// The steps on one file: its preview, the duplicate test, pointing the Album Query, and
// storing the photo.
#include "base/prompter.h"
#include "import/import_files.h"
#include "import/import_names.h"
#include "import/import_pipeline.h"
#include "thumbnails/thumbnail_cache.h"

#include <QScopeGuard>

namespace pictavo {

bool ImportPipeline::PreviewFile(const QString &path)
{
    imageTmp.clear();
    return previewLoaded(loadNow(path));
}

QList<QSize> ImportPipeline::areas() const
{
    return previewAreas ? previewAreas() : QList<QSize>();
}

PrefetchedPhoto ImportPipeline::loadNow(const QString &path)
{
    PrefetchedPhoto photo = readAndDecode(
        path, areas(),
        [this](int percent) {
            if (percent > 0 && percent < 100)
                m_window.decodeProgress(true, percent);
        },
        [this] { m_window.decodeProgress(false, 0); });
    if (photo.decoded)
        m_window.decodeProgress(false, 100);
    return photo;
}

bool ImportPipeline::previewLoaded(PrefetchedPhoto photo)
{
    m_sameSerial = 0;
    imageTmp = std::move(photo.picture);
    m_decodeFailure = photo.decodeFailure;
    m_loadedStamp = photo.stamp;
    if (photo.failure)
        std::rethrow_exception(photo.failure);
    if (imageTmp.isEmpty())
        return false;
    m_window.drawPreview();
    qint64 serial = 0;
    if (!FindSameImage(imageTmp.jpeg(), serial))
        return false;
    m_sameSerial = serial;
    ShowSameImage(serial);
    m_prompter.warning(QStringLiteral("Detected same image in the database."));
    return true;
}

bool ImportPipeline::FindSameImage(const QByteArray &file, qint64 &serial)
{
    // Only photos of exactly the file's size are candidates; the index on IMAGE_SIZE finds
    // them without reading any other photo.
    m_sizeQuery.close();
    m_sizeQuery.setDatabaseName(m_album.albumQuery().databaseName());
    m_sizeQuery.setParam(QStringLiteral("SIZE"), qint64(file.size()));
    m_sizeQuery.open();
    const auto closed = qScopeGuard([this] { m_sizeQuery.close(); });
    const QString image = QStringLiteral("IMAGE");
    bool found = false;
    for (m_sizeQuery.first(); !m_sizeQuery.eof() && !found; m_sizeQuery.next()) {
        const qint64 stored = m_sizeQuery.blobSize(image);
        serial = m_sizeQuery.asInteger(QStringLiteral("SERIAL"));
        if (stored != file.size()) {
            m_prompter.warning(QStringLiteral("Serious error.  File size(%1) and stream size(%2) "
                                              "are different.")
                                   .arg(file.size())
                                   .arg(stored));
            return false;
        }
        found = m_sizeQuery.readBlob(image) == file;
    }
    return found;
}

void ImportPipeline::ShowSameImage(qint64 serial)
{
    pointAlbumQuery({QStringLiteral("SELECT * FROM PHOTODB.DB WHERE SERIAL="),
                     QString::number(serial), QStringLiteral(";")});
}

void ImportPipeline::ResetAlbumQuery()
{
    pointAlbumQuery({QStringLiteral("SELECT * FROM PHOTODB.DB;")});
}

void ImportPipeline::pointAlbumQuery(const QStringList &sql)
{
    Query &album = m_album.albumQuery();
    album.setSql(sql);
    album.open();
    m_album.showRecordCount();
    m_album.clearEasyFilter();
}

bool ImportPipeline::AppendPhoto(const QString &path, const QString &prefix,
                                 const QString &keywordString, qint64 &serial, QString &failure)
{
    const PhotoName name = photoNameOf(path);
    if (!name.refusal.isEmpty()) {
        m_prompter.warning(name.refusal);
        failure = name.refusal;
        return false;
    }
    Query &album = m_album.albumQuery();
    const auto discard = [&album] {
        if (album.state() == DataSet::State::Insert)
            album.cancel();
    };
    try {
        album.append();
        album.setValue(QStringLiteral("PREFIX"), prefix);
        album.setValue(QStringLiteral("NAME"), name.name);
        album.setValue(QStringLiteral("EXT"), QStringLiteral(".jpg"));
        album.setValue(QStringLiteral("KEYWORD"), keywordString);
        // The bytes that were decoded and compared are the bytes stored.
        album.setBlob(QStringLiteral("IMAGE"), imageTmp.jpeg());
        album.setValue(QStringLiteral("COUNT"), 0);
        album.setValue(QStringLiteral("IMAGE_SIZE"), album.blobSize(QStringLiteral("IMAGE")));
        m_album.pictureToStore(imageTmp);
        album.post();
        serial = album.asInteger(QStringLiteral("SERIAL"));
        // Its thumbnail is made from the decode made for the preview.
        if (ThumbnailCache *thumbnails = m_album.thumbnails())
            thumbnails->photoStored(serial, imageTmp.jpeg(), imageTmp.decoded());
    } catch (const Error &error) {
        discard();
        failure = error.text();
        return false;
    } catch (...) {
        discard();
        throw;
    }
    return true;
}

} // namespace pictavo
