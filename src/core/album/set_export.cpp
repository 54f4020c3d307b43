#include "album/set_export.h"

#include "album/photo_export.h"
#include "base/error.h"
#include "db/dataset.h"
#include "keyword/file_keywords.h"
#include "keyword/keyword_string.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <future>

namespace pictavo {

namespace {

const QString kSidecarSuffix = QStringLiteral(".xmp");
// Photos up to this size together are read and written side by side: one is written
// (and waited for on the disk) while the next is read. A larger one waits its turn, so
// the export holds at most this much or one photo.
constexpr qint64 kOverlapBytes = 16 * 1024 * 1024;

// Makes the photo's folder and writes the photo and its sidecar (when there is one), each
// whole; the failure's text, or nothing.
QString writeFiles(const QString &path, const QByteArray &photo, const QByteArray &sidecar)
{
    try {
        const QString folder = QFileInfo(path).path();
        if (!QDir().mkpath(folder))
            throw Error(QStringLiteral("The folder \"%1\" could not be made.").arg(folder));
        saveWholeFile(path, photo);
        if (!sidecar.isEmpty())
            saveWholeFile(path + kSidecarSuffix, sidecar);
    } catch (const Error &error) {
        return error.text();
    }
    return QString();
}

// A name a file or folder can have on any disk a photo may be copied to (memory cards and
// other systems' disks included): each of / \ : * ? " < > | and every control character
// becomes "_", a name that would end in a blank or a dot ends in "_" instead, and an empty
// name is "_".
QString safeFileName(const QString &text)
{
    static const QString unsafe = QStringLiteral("/\\:*?\"<>|");
    QString name = text;
    for (QChar &c : name) {
        if (c.unicode() < 32 || c.unicode() == 127 || unsafe.contains(c))
            c = QLatin1Char('_');
    }
    if (name.isEmpty())
        return QStringLiteral("_");
    // Such a name is cut by some file systems ("a." would become "a"), and "." and ".."
    // name folders that are there already.
    if (name.endsWith(QLatin1Char(' ')) || name.endsWith(QLatin1Char('.')))
        name.back() = QLatin1Char('_');
    return name;
}

// The keywords a photo's sidecar holds: those of its Keyword String, each once, without
// empty ones; none for "*", which stands for "no keyword".
QStringList sidecarKeywords(const QString &keywordString)
{
    QStringList keywords;
    if (keywordString == QLatin1String("*"))
        return keywords;
    forEachKeyword(keywordString, [&keywords](const QString &item) {
        const QString keyword = keywordFromFile(item);
        if (!keyword.isEmpty() && !keywords.contains(keyword))
            keywords << keyword;
    });
    return keywords;
}

} // namespace

QString SetExportCounts::summary() const
{
    return QStringLiteral("%1 written, %2 without photo, %3 not replaced, %4 failed")
        .arg(written)
        .arg(withoutPhoto)
        .arg(notReplaced)
        .arg(failed);
}

SetExport::SetExport(const DataSet &set, const QString &destination, bool sidecars)
    : m_set(set), m_destination(destination), m_sidecars(sidecars)
{
    const int serial = set.fieldNumber(QStringLiteral("SERIAL"));
    const int prefix = set.fieldNumber(QStringLiteral("PREFIX"));
    const int name = set.fieldNumber(QStringLiteral("NAME"));
    const int ext = set.fieldNumber(QStringLiteral("EXT"));
    const int image = set.fieldNumber(QStringLiteral("IMAGE"));
    set.fieldNumber(QStringLiteral("KEYWORD"));
    QSet<QString> taken; // folded, so that names differing in letter case count as one
    const auto free = [&](const QString &file) {
        return !taken.contains(file.toCaseFolded()) &&
               !(sidecars && taken.contains((file + kSidecarSuffix).toCaseFolded()));
    };
    const int count = set.recordCount();
    m_targets.reserve(size_t(count));
    for (int row = 0; row < count; ++row) {
        Target target{row, QString()};
        // A blob's value is its size: null or 0 is no photo.
        if (set.valueAt(row, image).toLongLong() > 0) {
            const QString prefixText = set.valueAt(row, prefix).toString();
            const QString folder =
                prefixText.isEmpty() ? QString() : safeFileName(prefixText) + QLatin1Char('/');
            const QString extension = set.valueAt(row, ext).toString();
            const QString number = QLatin1Char('_') + set.valueAt(row, serial).toString();
            QString stem = set.valueAt(row, name).toString();
            QString file = folder + safeFileName(stem + extension);
            // A record of the set whose own name is NAME_SERIAL may hold the one made here.
            while (!free(file)) {
                stem += number;
                file = folder + safeFileName(stem + extension);
            }
            taken.insert(file.toCaseFolded());
            if (sidecars)
                taken.insert((file + kSidecarSuffix).toCaseFolded());
            target.file = file;
        }
        m_targets.push_back(target);
    }
}

QStringList SetExport::plannedFiles() const
{
    QStringList files;
    for (const Target &target : m_targets)
        files << target.file;
    return files;
}

bool SetExport::exists(const Target &target) const
{
    const QString path = QDir(m_destination).filePath(target.file);
    return QFileInfo::exists(path) || (m_sidecars && QFileInfo::exists(path + kSidecarSuffix));
}

QStringList SetExport::existingFiles() const
{
    QStringList files;
    for (const Target &target : m_targets) {
        if (!target.file.isEmpty() && exists(target))
            files << target.file;
    }
    return files;
}

SetExportCounts SetExport::run(bool replace, const std::function<bool(int, int)> &keepGoing)
{
    m_problems.clear();
    SetExportCounts counts;
    const QDir destination(m_destination);
    const int image = m_set.fieldNumber(QStringLiteral("IMAGE"));
    const int keyword = m_set.fieldNumber(QStringLiteral("KEYWORD"));
    // The photo being written on a thread of its own while the next one is read here.
    std::future<QString> writing;
    QString writingFile;
    qint64 inFlight = 0;
    const auto fail = [&](const QString &file, const QString &reason) {
        ++counts.failed;
        m_problems << file + QStringLiteral(": ") + reason;
    };
    const auto settle = [&] {
        if (!writing.valid())
            return;
        if (const QString failure = writing.get(); failure.isEmpty())
            ++counts.written;
        else
            fail(writingFile, failure);
        inFlight = 0;
    };
    const int total = recordCount();
    int done = 0;
    for (const Target &target : m_targets) {
        if (target.file.isEmpty()) {
            ++counts.withoutPhoto;
        } else if (!replace && exists(target)) {
            ++counts.notReplaced;
            m_problems << target.file + QStringLiteral(": already there, not replaced");
        } else {
            // Two photos are held at once only while they are small together.
            if (inFlight + m_set.valueAt(target.row, image).toLongLong() > kOverlapBytes)
                settle();
            try {
                QByteArray photo = m_set.readBlobAt(target.row, QStringLiteral("IMAGE"));
                QByteArray sidecar;
                if (m_sidecars)
                    sidecar =
                        xmpSidecar(sidecarKeywords(m_set.valueAt(target.row, keyword).toString()));
                settle();
                writingFile = target.file;
                inFlight = photo.size();
                writing =
                    std::async(std::launch::async, writeFiles, destination.filePath(target.file),
                               std::move(photo), std::move(sidecar));
            } catch (const Error &error) {
                fail(target.file, error.text());
            }
        }
        if (keepGoing && !keepGoing(++done, total)) {
            counts.stopped = done < total;
            break;
        }
    }
    settle();
    return counts;
}

QString SetExport::closingText(const SetExportCounts &counts) const
{
    constexpr int kShown = 5;
    QStringList lines{
        QStringLiteral("Exported to \"%1\": %2.").arg(m_destination, counts.summary())};
    if (counts.stopped)
        lines << QStringLiteral("Stopped before the end of the set.");
    lines << m_problems.mid(0, kShown);
    if (m_problems.size() > kShown)
        lines << QStringLiteral("... and %1 more.").arg(m_problems.size() - kShown);
    return lines.join(QLatin1Char('\r'));
}

} // namespace pictavo
