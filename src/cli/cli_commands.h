#pragma once

#include <QStringList>
#include <QTextStream>
#include <functional>

namespace pictavo::cli {

// The commands of pictavo-cli, each on the arguments after its name. Each returns the
// process exit code: 0 when done, 1 when it failed, 2 for a usage error.

int create(const QStringList &args, QTextStream &out, QTextStream &err);
int query(const QStringList &args, QTextStream &out, QTextStream &err);
// export DIR SERIAL FILE [--force]: writes the stored photo of that record to FILE byte for
// byte; an existing FILE is replaced only with --force.
int exportFile(const QStringList &args, QTextStream &out, QTextStream &err);

// export-set DIR DEST [--query LINE...] [--xmp] [--force]
//
// Writes every photo of the library (or of the query whose lines follow --query) into the
// folder DEST, made when missing, as the program's "All photos of the set" does; --xmp adds
// a sidecar with each photo's keywords, and --force replaces files that are there already.
// Prints one line for each photo not written on `err` and the summary line on `out`.
// Ctrl-C stops after the photo being written. Returns 0 when every photo was written, 1
// otherwise, 2 for a usage error, 130 or 143 when stopped by SIGINT or SIGTERM.
int exportSet(const QStringList &args, QTextStream &out, QTextStream &err);

// import DIR PATH... [--prefix P] [--keywords K] [--remove] [--add-new-keywords] [-r]
//
// Runs the import pipeline with its questions answered by the options. A PATH that is a
// folder is one run over its *.jpg and *.jpeg files (any letter case, hidden files left
// out) in name order, and with -r each folder below it is a run of its own; file PATHs
// that follow one another in one folder are one run. Prints one line per file on `out`
// and a summary line; the pipeline's own messages go to `err`. A file that cannot be read
// is reported and the import goes on with the next one.
// Returns 0 when every file was stored or skipped as a duplicate, 1 otherwise, 2 for a
// usage error.
int importFiles(const QStringList &args, QTextStream &out, QTextStream &err);

// rebuild-keywords DIR: recounts the Keyword Table from the Keyword Strings of every
// photo, as the keyword list's "Update Keyword" does, and prints the number of distinct
// keywords and of occurrences. Exit status 1 with the engine's text when it fails (the
// Keyword Table is then as it was), 2 for wrong arguments.
int rebuildKeywords(const QStringList &args, QTextStream &out, QTextStream &err);

// replace-keyword DIR OLD NEW: replaces the first occurrence of OLD by NEW in the Keyword
// String of every photo record, in one transaction, and prints how many records changed.
int replaceKeyword(const QStringList &args, QTextStream &out, QTextStream &err);

// thumbnails DIR [--verify]: makes every missing thumbnail in DIR's thumbs.db, with a
// progress line on `err`; prints a line for each photo that cannot be decoded, then
// "N photos, N thumbnails made, N not decodable".
int thumbnails(const QStringList &args, QTextStream &out, QTextStream &err);

// check DIR [--decode]: prints one line per finding and a summary line on `out`, a
// progress line on `err` when the run is long. Returns 0 when the library is sound, 1
// when something is damaged (or DIR cannot be read), 2 for a usage error.
int check(const QStringList &args, QTextStream &out, QTextStream &err);

// backup DIR DEST: copies the database into the folder DEST while others may write to
// it, checks the copy and puts it in place.
int backup(const QStringList &args, QTextStream &out, QTextStream &err);

// upgrade DIR: brings a library an earlier version made into this version's layout, with
// a progress line on `err` and a summary line on `out`; when it fails the library is as
// it was.
int upgrade(const QStringList &args, QTextStream &out, QTextStream &err);

// Whether the command may go on with the library in `directory`: false, with the message
// naming the upgrade on `err`, for a library in an earlier version's layout.
bool layoutIsCurrent(const QString &directory, QTextStream &err);

// Runs a command's work; an error it throws is printed on `err` and ends it with status 1.
int reportingErrors(QTextStream &err, const std::function<int()> &work);

// A value as one tab-separated field: null is nothing; backslash, tab, newline and
// carriage return are written as \\, \t, \n and \r so every record stays on one line.
QString tsvField(const QVariant &value);

} // namespace pictavo::cli
