#pragma once

#include "base/error.h"

#include <QString>
#include <functional>

namespace pictavo::test {

// The text of the error the action throws; empty when it throws none.
inline QString errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Error &error) {
        return error.text();
    }
    return QString();
}

} // namespace pictavo::test
