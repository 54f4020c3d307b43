#pragma once

#include "info/help_launcher.h"

#include <QStringList>

namespace pictavo::test {

// Records the documents it is asked to open and answers as told: true as a desktop with a
// browser does, false as one without a program for the file type.
class RecordingOpener : public DocumentOpener
{
public:
    bool openDocument(const QString &absolutePath) override
    {
        opened << absolutePath;
        return succeeds;
    }

    QStringList opened;
    bool succeeds = true;
};

} // namespace pictavo::test
