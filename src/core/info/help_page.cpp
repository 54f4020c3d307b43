#include "info/help_page.h"

#include "base/prompter.h"

namespace pictavo {

namespace {

HelpMenuSpec shortNames(const QString &page)
{
    return {page, QStringLiteral("Help(&H)"), QStringLiteral("menuHelpInEng"),
            QStringLiteral("menuHelpInJap")};
}

// These windows have always had the doubled parenthesis in their menu caption.
HelpMenuSpec longNames(const QString &page)
{
    return {page, QStringLiteral("Help((&H)"), QStringLiteral("menuHelpInEnglish"),
            QStringLiteral("menuHelpInJapanese")};
}

} // namespace

const QList<HelpMenuSpec> &helpMenuSpecs()
{
    static const QList<HelpMenuSpec> specs = {
        shortNames(QStringLiteral("main")),         shortNames(QStringLiteral("inportfile")),
        longNames(QStringLiteral("easyfilter")),    shortNames(QStringLiteral("expertfilter")),
        longNames(QStringLiteral("keywordlist")),   longNames(QStringLiteral("keywordedit")),
        longNames(QStringLiteral("keywordassist")), shortNames(QStringLiteral("thumbnails")),
    };
    return specs;
}

const HelpMenuSpec *helpMenuSpec(const QString &page)
{
    for (const HelpMenuSpec &spec : helpMenuSpecs())
        if (spec.page == page)
            return &spec;
    return nullptr;
}

QString helpItemCaption(HelpLanguage language)
{
    return language == HelpLanguage::English ? QStringLiteral("in English(&E)")
                                             : QStringLiteral("in Japanese(&J)");
}

QString helpPagePath(const QString &page, HelpLanguage language)
{
    return QStringLiteral("..\\manual\\pv-") + page +
           (language == HelpLanguage::Japanese ? QStringLiteral("-j.html")
                                               : QStringLiteral(".html"));
}

void CheckShellExecute(Prompter &prompter, int code, const QString &path)
{
    if (code > kHelpLastFailure)
        return;
    prompter.warning(QStringLiteral("Could not shellexecute \"") + path +
                     QStringLiteral("\".\rReturn Code was ") + QString::number(code) +
                     QStringLiteral(" ."));
}

} // namespace pictavo
