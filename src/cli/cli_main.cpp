#include "cli/cli_commands.h"
#include "info/version_info.h"

#include <QCoreApplication>
#include <QHash>
#include <QTextStream>
#include <cstdio>

namespace {

void usage(QTextStream &stream)
{
    // One line per command; pictavo-cli(1) tells the rest.
    stream
        << "usage: pictavo-cli COMMAND ARGS...\n"
           "  create DIR                 create a photo database in the directory DIR\n"
           "  query DIR LINE...          run the query whose lines are LINE... and print its rows\n"
           "  export DIR SERIAL FILE [--force]  write photo SERIAL to FILE, byte for byte\n"
           "  export-set DIR DEST [--query LINE...] [--xmp] [--force]  write every photo (of the "
           "query) into DEST\n"
           "  import DIR PATH... [--prefix P] [--keywords K] [--remove] [--add-new-keywords] [-r]"
           " [--keywords-from-files]  store JPEG files and folders of them as new photos\n"
           "  rebuild-keywords DIR       recount the Keyword Table from the keywords of every "
           "photo\n"
           "  replace-keyword DIR OLD NEW  replace the first OLD in every Keyword String by NEW\n"
           "  check DIR [--decode]       read every table file and photo and report damage\n"
           "  backup DIR DEST            copy the database into DEST while it is in use, and check "
           "it\n"
           "  upgrade DIR                bring a library made by an earlier version up to date\n"
           "  thumbnails DIR [--verify]  make the missing thumbnails of the photos in "
           "DIR/thumbs.db\n"
           "  --help                     print this list\n"
           "  --version                  print the program's version\n";
    stream.flush();
}

} // namespace

int main(int argc, char **argv)
{
    using namespace pictavo::cli;
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        usage(err);
        return 2;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("upgrade"))
        return upgrade(args, out, err);
    // Every command on a library but making one works only on an up-to-date one.
    if (command != QLatin1String("create") && !command.startsWith(QLatin1String("-")) &&
        command != QLatin1String("help") && !args.isEmpty() && !layoutIsCurrent(args.first(), err))
        return 1;
    using Command = int (*)(const QStringList &, QTextStream &, QTextStream &);
    static const QHash<QString, Command> commands = {
        {QStringLiteral("create"), create},
        {QStringLiteral("query"), query},
        {QStringLiteral("export"), exportFile},
        {QStringLiteral("export-set"), exportSet},
        {QStringLiteral("import"), importFiles},
        {QStringLiteral("check"), check},
        {QStringLiteral("backup"), backup},
        {QStringLiteral("rebuild-keywords"), rebuildKeywords},
        {QStringLiteral("thumbnails"), thumbnails},
        {QStringLiteral("replace-keyword"), replaceKeyword}};
    if (const Command run = commands.value(command))
        return run(args, out, err);
    if (command == QLatin1String("--version")) {
        out << "pictavo-cli " << pictavo::ReadVersionString(QStringLiteral("FileVersion"))
            << Qt::endl;
        return 0;
    }
    if (command == QLatin1String("--help") || command == QLatin1String("help")) {
        usage(out);
        return 0;
    }
    err << "pictavo-cli: unknown command \"" << command << "\"" << Qt::endl;
    usage(err);
    return 2;
}
