#include "cli/cli_commands.h"
#include "keyword/keyword_rebuild.h"
#include "keyword/keyword_replace.h"

namespace pictavo::cli {

int rebuildKeywords(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.size() != 1) {
        err << "usage: pictavo-cli rebuild-keywords DIR" << Qt::endl;
        return 2;
    }
    return reportingErrors(err, [&] {
        const RebuildResult result = rebuildKeywordTable(args[0]);
        out << result.keywords << " keywords, " << result.occurrences << " occurrences" << Qt::endl;
        return 0;
    });
}

int replaceKeyword(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.size() != 3) {
        err << "usage: pictavo-cli replace-keyword DIR OLD NEW" << Qt::endl;
        return 2;
    }
    return reportingErrors(err, [&] {
        const KeywordReplaceResult result = replaceKeywordInPhotoTable(args[0], args[1], args[2]);
        out << result.changed << " of " << result.visited << " records changed." << Qt::endl;
        return 0;
    });
}

} // namespace pictavo::cli
