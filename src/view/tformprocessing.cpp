#include "view/tformprocessing.h"

#include <QProgressBar>
#include <QVBoxLayout>

namespace pictavo {

TformProcessing::TformProcessing(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("formProcessing"));
    setWindowTitle(QStringLiteral("Processing"));
    auto *layout = new QVBoxLayout(this);
    progressbarProcessing = new QProgressBar(this);
    progressbarProcessing->setObjectName(QStringLiteral("progressbarProcessing"));
    progressbarProcessing->setRange(0, 100);
    progressbarProcessing->setValue(0);
    progressbarProcessing->setAccessibleName(QStringLiteral("Processing"));
    layout->addWidget(progressbarProcessing);
    resize(300, 60);
}

} // namespace pictavo
