#include "common/command_line.h"

#include <cstdio>
#include <cstdlib>

namespace pictavo::bench {

bool CommandLine::next()
{
    if (m_index + 1 >= m_argc)
        return false;
    m_current = QString::fromLocal8Bit(m_argv[++m_index]);
    return true;
}

void CommandLine::fail() const
{
    std::fputs(m_usage, stdout);
    std::exit(2);
}

bool CommandLine::takeSwitch(const char *name, bool &flag, bool value)
{
    if (m_current != QLatin1String(name))
        return false;
    flag = value;
    return true;
}

bool CommandLine::takeValue(const char *name, QString &value)
{
    // Without a value after it the name is no option at all, and the caller fails it.
    if (m_current != QLatin1String(name) || m_index + 1 >= m_argc)
        return false;
    value = QString::fromLocal8Bit(m_argv[++m_index]);
    return true;
}

template <typename Number, typename Convert>
bool CommandLine::takeNumber(const char *name, Number &value, Number low, Number high,
                             Convert convert)
{
    QString text;
    if (!takeValue(name, text))
        return false;
    bool ok = false;
    value = convert(text, &ok);
    // Written so that a NaN is out of range too.
    if (!ok || !(value >= low && value <= high))
        fail();
    return true;
}

bool CommandLine::takeInt(const char *name, int &value, int low, int high)
{
    return takeNumber(name, value, low, high,
                      [](const QString &text, bool *ok) { return text.toInt(ok); });
}

bool CommandLine::takeDouble(const char *name, double &value, double low, double high)
{
    return takeNumber(name, value, low, high,
                      [](const QString &text, bool *ok) { return text.toDouble(ok); });
}

void parseCommandLine(int argc, char **argv, const char *usage,
                      const std::function<bool(CommandLine &)> &take)
{
    CommandLine args(argc, argv, usage);
    while (args.next())
        if (!take(args))
            args.fail();
}

} // namespace pictavo::bench
