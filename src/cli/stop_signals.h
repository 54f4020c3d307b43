#pragma once

#include "db/statement_watcher.h"

#include <csignal>

namespace pictavo::cli {

// While it lives, SIGINT and SIGTERM do not end the process but ask the statement being
// watched to stop, so that the command can end cleanly: what it printed stays, and it
// says it was stopped. A second such signal ends the process as usual.
class StopSignals : public StatementWatcher
{
public:
    StopSignals();
    ~StopSignals() override;
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    bool keepGoing(std::chrono::milliseconds running) override;
    // The signal received, or 0.
    int received() const;
    // The exit status of a process that this signal stopped: 130 for SIGINT, 143 for
    // SIGTERM.
    int exitStatus() const { return 128 + received(); }

private:
    struct sigaction m_previousInt;
    struct sigaction m_previousTerm;
};

} // namespace pictavo::cli
