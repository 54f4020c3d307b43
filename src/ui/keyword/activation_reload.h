#pragma once

#include <functional>

namespace pictavo {

class Prompter;

// A window's commands run under the general error report, and its reload each time the
// window becomes active. Activations that come while one of its own commands runs are
// passed over: the command's message boxes take the activation away and give it back.
// So is the one activation that follows the report of a failed reload: the report's box
// closing activates the window again, and the reload would fail again at once, box after
// box, without end.
class ActivationReload
{
public:
    explicit ActivationReload(Prompter &prompter) : m_prompter(prompter) {}

    // Runs the command inside the general error report; false when it failed.
    bool run(const std::function<void()> &command);
    // Called when the window has become active.
    void activated(const std::function<void()> &reload);
    bool busy() const { return m_busy; }

private:
    Prompter &m_prompter;
    bool m_busy = false;
    bool m_skipNext = false;
    bool m_activatedWhileBusy = false;
};

} // namespace pictavo
