#include "cli/cli_rebuild.h"

#include "base/error.h"
#include "keyword/keyword_rebuild.h"

namespace pictavo::cli {

int rebuildKeywords(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.size() != 1) {
        err << "usage: pictavo-cli rebuild-keywords DIR" << Qt::endl;
        return 2;
    }
    try {
        const RebuildResult result = rebuildKeywordTable(args[0]);
        out << result.keywords << " keywords, " << result.occurrences << " occurrences" << Qt::endl;
        return 0;
    } catch (const Error &error) {
        err << error.text() << Qt::endl;
        return 1;
    }
}

} // namespace pictavo::cli
