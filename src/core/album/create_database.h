#pragma once

#include <QString>

namespace pictavo {

class Prompter;

// Creates the Photo Table and the Keyword Table in the directory, telling the user what
// happened through the prompter. Refuses, with a warning, when either table is there
// already; opens nothing. Returns true when both tables were created.
bool CreateDatabase(const QString &directory, Prompter &prompter);

} // namespace pictavo
