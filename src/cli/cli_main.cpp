#include "cli/cli_commands.h"
#include "cli/cli_import.h"
#include "cli/cli_maintenance.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

namespace {

void usage(QTextStream &stream)
{
    stream << "usage: pictavo-cli COMMAND ARGS...\n"
              "  create DIR          create a photo database in the directory DIR\n"
              "  query DIR LINE...   run a query whose lines are LINE... and print its rows\n"
              "  export DIR SERIAL FILE [--force]\n"
              "                      write the photo whose SERIAL is given to FILE, byte for\n"
              "                      byte; an existing FILE is replaced only with --force\n"
              "  import DIR PATH... [--prefix P] [--keywords K] [--remove]\n"
              "                     [--add-new-keywords] [-r]\n"
              "                      store the JPEG files PATH... (folders: their *.jpg and\n"
              "                      *.jpeg files; -r: and the folders below) as new photos\n"
              "  check DIR [--decode] read every table file and photo and report damage\n"
              "  backup DIR DEST     copy the database into the folder DEST, safely while it\n"
              "                      is in use, and check the copy\n";
    stream.flush();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        usage(err);
        return 2;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("create"))
        return pictavo::cli::create(args, out, err);
    if (command == QLatin1String("query"))
        return pictavo::cli::query(args, out, err);
    if (command == QLatin1String("export"))
        return pictavo::cli::exportFile(args, out, err);
    if (command == QLatin1String("import"))
        return pictavo::cli::importFiles(args, out, err);
    if (command == QLatin1String("check"))
        return pictavo::cli::check(args, out, err);
    if (command == QLatin1String("backup"))
        return pictavo::cli::backup(args, out, err);
    if (command == QLatin1String("--help") || command == QLatin1String("help")) {
        usage(out);
        return 0;
    }
    err << "pictavo-cli: unknown command \"" << command << "\"" << Qt::endl;
    usage(err);
    return 2;
}
