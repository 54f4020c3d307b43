#include "cli/cli_keyword_replace.h"

#include "base/error.h"
#include "keyword/keyword_replace.h"

namespace pictavo::cli {

int replaceKeyword(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.size() != 3) {
        err << "usage: pictavo-cli replace-keyword DIR OLD NEW" << Qt::endl;
        return 2;
    }
    try {
        const KeywordReplaceResult result = replaceKeywordInPhotoTable(args[0], args[1], args[2]);
        out << result.changed << " of " << result.visited << " records changed." << Qt::endl;
    } catch (const Error &error) {
        err << error.text() << Qt::endl;
        return 1;
    }
    return 0;
}

} // namespace pictavo::cli
