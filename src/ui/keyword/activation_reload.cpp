#include "keyword/activation_reload.h"

#include "widgets/error_report.h"

#include <QScopedValueRollback>

namespace pictavo {

bool ActivationReload::run(const std::function<void()> &command)
{
    const QScopedValueRollback<bool> busy(m_busy, true);
    return runGuarded(m_prompter, command);
}

void ActivationReload::activated(const std::function<void()> &reload)
{
    if (m_busy) {
        m_activatedWhileBusy = true;
        return;
    }
    if (m_skipNext) {
        m_skipNext = false;
        return;
    }
    m_activatedWhileBusy = false;
    const bool done = run(reload);
    // When the activation that ends the report came while it was still running, it has
    // been passed over already.
    m_skipNext = !done && !m_activatedWhileBusy;
}

} // namespace pictavo
