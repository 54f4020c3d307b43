#pragma once

#include "base/prompter.h"

#include <QRandomGenerator>
#include <QStringList>
#include <functional>

namespace pictavo::test {

// The seed of a random window test: PICTAVO_MONKEY_SEED when it is set, to run another
// sequence when hunting, else the one the suite runs.
quint32 monkeySeed();

// Answers every question with one of the buttons it offers, picked at random; file
// dialogs answer what `pickFile` returns (nothing when it is unset or says so).
class RandomPrompter : public Prompter
{
public:
    explicit RandomPrompter(QRandomGenerator &random) : m_random(random) {}

    Button message(Kind kind, const QString &text, Buttons buttons) override;
    std::optional<QString> chooseDirectory(const QString &, const QString &, bool) override;
    std::optional<QString> openFile(const QString &, const QString &, const QString &) override;
    std::optional<QString> saveFile(const QString &, const QString &, const QString &) override;
    std::optional<QString> inputText(const QString &, const QString &, const QString &) override;

    std::function<std::optional<QString>()> pickFile;
    QStringList texts; // of every box shown
    int errors = 0;    // boxes of the error kind

private:
    QRandomGenerator &m_random;
};

} // namespace pictavo::test
