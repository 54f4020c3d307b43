#pragma once

#include "info/help_launcher.h"

namespace pictavo {

// Opens a document with the desktop's program for its type (the user's browser for a page).
class DesktopOpener : public DocumentOpener
{
public:
    bool openDocument(const QString &absolutePath) override;
};

} // namespace pictavo
