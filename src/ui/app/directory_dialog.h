#pragma once

#include <QFileDialog>

class QCheckBox;

namespace pictavo {

// The directory chooser: Qt's own (non-native) dialog in Directory mode, without a Help
// button. Qt's dialog refuses a typed directory that does not exist ("Directory not found");
// with acceptMissing set this one accepts it instead, so the caller can offer to create it.
class DirectoryDialog : public QFileDialog
{
    Q_OBJECT

public:
    DirectoryDialog(QWidget *parent, const QString &title, const QString &start,
                    bool acceptMissing);

    // Adds a check box below the folders and returns it; owned by the dialog.
    QCheckBox *addOption(const QString &caption, bool ticked);

    // The absolute path chosen or typed; valid once the dialog was accepted.
    const QString &chosenDirectory() const { return m_chosen; }

    void accept() override;

private:
    bool m_acceptMissing;
    QString m_chosen;
};

} // namespace pictavo
