#pragma once

#include <chrono>

namespace pictavo {

// Asked, while a data set opens, whether its statement may go on: the way a person stops
// a statement that runs too long. It is called from inside SQLite's progress handler, so
// it must not touch the connection that runs the statement, not even to read.
class StatementWatcher
{
public:
    virtual ~StatementWatcher() = default;
    // Called every few milliseconds of an opening, with the time since it began. False
    // stops the statement at once, and the opening fails with QueryStopped.
    virtual bool keepGoing(std::chrono::milliseconds running) = 0;
    // The opening ended, whichever way.
    virtual void finished() {}
};

} // namespace pictavo
