#pragma once

#include <QString>

namespace pictavo {

class DataSet;
class Prompter;

// Writes bytes to fileName whole: they go to a temporary file beside the target that takes
// its place only once complete and on the disk, so a failure never damages a file already
// there, and no one ever sees half a file. Throws Error ("Could not save to \"<file>\":
// <reason>") on failure.
void saveWholeFile(const QString &fileName, const QByteArray &bytes);

// Writes the current record's IMAGE to fileName byte for byte with saveWholeFile; the photo
// is not decoded or encoded again.
void exportPhoto(const DataSet &album, const QString &fileName);

// The name the save dialog offers: the current record's NAME followed by its EXT.
QString exportFileName(const DataSet &album);

// The whole Export Current Photo command: "No record." on an empty set (a closed album
// throws the engine's error), the save dialog, the overwrite question for an existing
// file, the export, and then "Exported to ..." or the warning "Could not save to ...".
// Returns true when the file was written.
bool ExportCurrentPhoto(DataSet &album, Prompter &prompter);

} // namespace pictavo
