#pragma once

#include "db/query.h"
#include "import/import_hosts.h"
#include "import/photo_prefetcher.h"
#include "picture/display_picture.h"

#include <QList>
#include <QSize>
#include <QStringList>
#include <QVector>
#include <functional>

namespace pictavo {

class Prompter;

// One entry of the import window's file list: a bare file name of the folder.
struct ImportEntry
{
    QString name;
    bool selected = false;
};

// What became of one file of a run (the command-line tool prints it).
struct ImportOutcome
{
    enum Kind
    {
        Stored,
        Duplicate,
        NotJpeg,
        Failed
    };
    QString entry;
    Kind kind = Failed;
    qint64 serial = 0;     // Stored: the new record; Duplicate: the stored photo it equals
    QString reason;        // Failed: why; NotJpeg: the decoder's text, when it refused the file
    bool removed = false;  // the file was deleted from the disk
    QString decodeWarning; // Stored: libjpeg's first warning, for damage it decoded around
    QStringList keywordWarnings; // keywords of the file passed over as damaged
};

// The keywords given to a photo: the ticked keywords in list order, then the typed text as
// it stands, then each keyword taken from the file that is not among them yet, joined by
// ","; "*" when there is none.
QString composeKeywordString(const QStringList &ticked, const QString &typed,
                             const QStringList &fromFile = {});

// The import of JPEG files as photo records, and the preview-and-duplicate test of one
// file. It talks to the user only through the prompter and stores through the main
// window's Album Query, so every post runs that query's hooks.
//
// Each file is read once: the bytes decoded for the preview are the bytes compared with
// the stored photos and the bytes stored. A damaged JPEG that libjpeg decodes with a
// warning (a truncated file, say) is a picture and is stored byte for byte; the warning is
// passed on in the outcome, not asked about.
//
// With removal on, a stored file is deleted only after its post has returned (a commit
// with a full sync) and the database's directory has been synced, which makes the commit
// itself (the journal's deletion) durable, and only when it has not been written to or
// replaced since it was read: what would be deleted then is not what was stored. A
// question box closed without an answer stops the run, as Abort would.
//
// Failures the run does not handle itself (a listed file that is gone or cannot be read,
// a failing size query or Album Query) leave run() and PreviewFile() as the pictavo::Error
// that carries their own text, for the caller's general error report. Before such an error
// leaves run(), the file is reported to onOutcome as Failed with that text, the window is
// set idle and its progress to 0; an append in progress is cancelled. Photos stored
// before it stay stored.
class ImportPipeline
{
public:
    // `pool` decodes the files read ahead; the program's one pool unless a test brings its
    // own, whose workers start with its first run.
    ImportPipeline(AlbumHost &album, ImportHost &window, Prompter &prompter,
                   DecodePool &pool = DecodePool::shared());

    // Loads the file into imageTmp, has the window draw it, and tests whether a stored
    // photo has the same bytes; when one has, the Album Query is pointed at it and the
    // user is told. An empty path or an undecodable file empties imageTmp.
    bool PreviewFile(const QString &path);

    // The run over the folder's entries (only the selected ones are imported).
    void run(const QString &folder, const QVector<ImportEntry> &entries, const QString &prefix,
             const QStringList &tickedKeywords, const QString &typedKeywords,
             bool removeAfterImport);

    // Set by Abort, "Cancel Inporting" and the answer Abort; read before each entry.
    bool CancelRequested = false;
    // The decoded picture of the last file loaded.
    DisplayPicture imageTmp;
    // Told of each file's fate as the run goes.
    std::function<void(const ImportOutcome &)> onOutcome;

    // The areas a preview is drawn fitted into. It is decoded at the smallest DCT scale
    // that covers its fitted size in each, so drawPreview() finds the pixels it needs
    // without decoding again. Unset or empty, the preview is decoded at full size. The
    // command-line tool, which shows nothing, gives the thumbnail's square: the decode then
    // proves that the file is a picture and has the pixels of its thumbnail. Asked on this
    // thread when a file is asked for.
    std::function<QList<QSize>()> previewAreas;

    // Files a run reads and decodes on the decoding pool ahead of the one it compares and
    // stores: at most DecodePool::kMaxAhead; 0 reads each file at its turn; below 0, as much
    // as the machine's free memory allows (PhotoPrefetcher::defaultAhead). The user sees the
    // same either way: a file's bytes are read once, before its turn, and are what is
    // compared and stored; a file read ahead that the run does not reach is dropped.
    int readAhead = -1;

    // Set before a run: each photo stored also gets the keywords its file carries (XMP,
    // IPTC and XMP sidecars, keywordsOfPhotoFile), after those the user gave.
    bool keywordsFromFiles = false;

private:
    struct RunState;
    class ReadAhead;

    void importEntry(RunState &state, const QString &entry, PrefetchedPhoto photo);
    PrefetchedPhoto loadNow(const QString &path);
    bool previewLoaded(PrefetchedPhoto photo);
    QList<QSize> areas() const;
    void handleDuplicate(RunState &state, ImportOutcome &outcome);
    void store(RunState &state, ImportOutcome &outcome);
    bool FindSameImage(const QByteArray &file, qint64 &serial);
    void ShowSameImage(qint64 serial);
    void ResetAlbumQuery();
    void pointAlbumQuery(const QStringList &sql);
    bool AppendPhoto(const QString &path, const QString &prefix, const QString &keywordString,
                     qint64 &serial, QString &failure);
    bool RemoveFile(const QString &path, const QString &entry);
    bool deleteStoredFile(const QString &path);
    void report(const ImportOutcome &outcome);

    AlbumHost &m_album;
    ImportHost &m_window;
    Prompter &m_prompter;
    DecodePool &m_pool;
    // The import window's own query over the Photo Table: records of one IMAGE_SIZE.
    Query m_sizeQuery;
    qint64 m_sameSerial = 0; // the SERIAL of the stored photo the last preview equalled
    QString m_decodeFailure; // why the last file loaded is no picture, when the decoder said
    FileStamp m_loadedStamp; // the last file loaded, as it was when it was read
};

} // namespace pictavo
