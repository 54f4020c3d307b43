#include "widgets/error_report.h"

#include "base/error.h"

#include <QGuiApplication>
#include <exception>
#include <new>

namespace pictavo {

namespace {

void report(Prompter &prompter, const QString &text)
{
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
    // The report itself must not throw into the event loop either.
    try {
        prompter.message(Prompter::Kind::Error, text, Prompter::Ok);
    } catch (...) {
        qWarning("Could not show the error: %s", qUtf8Printable(text));
    }
}

} // namespace

bool runGuarded(Prompter &prompter, const std::function<void()> &command)
{
    try {
        command();
        return true;
    } catch (const Error &error) {
        report(prompter, error.text());
    } catch (const std::bad_alloc &) {
        report(prompter, QStringLiteral("Out of memory."));
    } catch (const std::exception &error) {
        report(prompter, QString::fromUtf8(error.what()));
    } catch (...) {
        report(prompter, QStringLiteral("Unknown error."));
    }
    return false;
}

} // namespace pictavo
