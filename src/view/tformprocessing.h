#pragma once

#include <QWidget>

class QProgressBar;

namespace pictavo {

// A small busy window on top of the others with a bar from 0 to 100. It is created with
// the other windows and stays hidden: no operation of the program uses it yet.
class TformProcessing : public QWidget
{
    Q_OBJECT

public:
    explicit TformProcessing(QWidget *parent = nullptr);

    QProgressBar *progressbarProcessing = nullptr;
};

} // namespace pictavo
