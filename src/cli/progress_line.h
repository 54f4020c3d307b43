#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTextStream>

namespace pictavo::cli {

// A line on standard error that rewrites itself, at most once a second and only once
// the run has lasted a second: short runs print nothing.
class ProgressLine
{
public:
    explicit ProgressLine(QTextStream &err) : m_err(err) { m_clock.start(); }
    ~ProgressLine() { finish(); }

    void show(const QString &text)
    {
        if (m_clock.elapsed() < 1000 * (m_shown + 1))
            return;
        m_shown = int(m_clock.elapsed() / 1000);
        m_err << '\r' << text << Qt::flush;
        m_open = true;
    }
    void finish()
    {
        if (m_open)
            m_err << Qt::endl;
        m_open = false;
    }

private:
    QTextStream &m_err;
    QElapsedTimer m_clock;
    int m_shown = 0;
    bool m_open = false;
};

} // namespace pictavo::cli
