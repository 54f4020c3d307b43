#include "random_prompter.h"

namespace pictavo::test {

quint32 monkeySeed()
{
    const int seed = qEnvironmentVariableIntValue("PICTAVO_MONKEY_SEED");
    return seed > 0 ? quint32(seed) : 42u;
}

Prompter::Button RandomPrompter::message(Kind kind, const QString &text, Buttons buttons)
{
    texts << text;
    errors += kind == Kind::Error ? 1 : 0;
    QList<Button> offered;
    for (Button b : {Ok, Cancel, Yes, No, Abort})
        if (buttons.testFlag(b))
            offered << b;
    return offered[m_random.bounded(int(offered.size()))];
}

std::optional<QString> RandomPrompter::chooseDirectory(const QString &, const QString &, bool)
{
    return std::nullopt;
}

std::optional<QString> RandomPrompter::openFile(const QString &, const QString &, const QString &)
{
    return pickFile ? pickFile() : std::nullopt;
}

std::optional<QString> RandomPrompter::saveFile(const QString &, const QString &, const QString &)
{
    return pickFile ? pickFile() : std::nullopt;
}

std::optional<QString> RandomPrompter::inputText(const QString &, const QString &, const QString &)
{
    return std::nullopt;
}

} // namespace pictavo::test
