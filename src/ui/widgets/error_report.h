#pragma once

#include "base/prompter.h"

#include <functional>

namespace pictavo {

// The general error report. Runs a command handler; an exception it throws is shown in the
// error box ("Pictavo") with its text: pictavo::Error's text(), a std::exception's what()
// (UTF-8), "Out of memory." for std::bad_alloc, "Unknown error." for anything else. Every
// override cursor is restored first. Nothing escapes, so the program goes on: exceptions must
// never cross the Qt event loop, and every window handler runs inside this guard.
//
// Returns true when the command ran to its end without an exception.
bool runGuarded(Prompter &prompter, const std::function<void()> &command);

} // namespace pictavo
