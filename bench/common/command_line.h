#pragma once

#include <QString>

#include <functional>

namespace pictavo::bench {

// The benchmarks' command lines: switches ("--keep") and options with one value
// ("--runs 9"). Each take...() looks at the current argument and returns true when it is
// that option. A command line that is not understood prints the usage and ends the
// program with exit status 2, before the benchmark has made anything.
class CommandLine
{
public:
    CommandLine(int argc, char **argv, const char *usage)
        : m_argc(argc), m_argv(argv), m_usage(usage)
    {
    }

    // Moves to the next argument; false at the end.
    bool next();
    // For an argument that is none of the options, or a value that is not acceptable.
    [[noreturn]] void fail() const;

    // The switch `name`: sets `flag` to `value`.
    bool takeSwitch(const char *name, bool &flag, bool value = true);
    // `name` followed by a value: takes the value as it is.
    bool takeValue(const char *name, QString &value);
    // `name` followed by a whole number in [low, high].
    bool takeInt(const char *name, int &value, int low, int high);
    // `name` followed by a number in [low, high].
    bool takeDouble(const char *name, double &value, double low, double high);

private:
    template <typename Number, typename Convert>
    bool takeNumber(const char *name, Number &value, Number low, Number high, Convert convert);

    int m_argc;
    char **m_argv;
    const char *m_usage;
    int m_index = 0;
    QString m_current;
};

// Hands every argument to `take`, which returns whether it was one of the options; fails
// the command line at the first that was not.
void parseCommandLine(int argc, char **argv, const char *usage,
                      const std::function<bool(CommandLine &)> &take);

} // namespace pictavo::bench
