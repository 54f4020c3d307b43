#pragma once

#include <QWidget>
#include <functional>

class QToolButton;

namespace pictavo {

class DataSet;

// A bar of buttons that move a data set, add or delete a record, or end its edit. The main
// window's panel holds three: first and last, prior and next, post and cancel. The buttons
// are enabled only when they can do something.
class DbNavigator : public QWidget
{
    Q_OBJECT

public:
    enum Button
    {
        First,
        Prior,
        Next,
        Last,
        Post,
        Cancel,
        Insert,
        Delete
    };
    using Guard = std::function<void(const std::function<void()> &)>;

    DbNavigator(DataSet &dataSet, QList<Button> buttons, Guard guard, QWidget *parent = nullptr);
    ~DbNavigator() override;

    QToolButton *button(Button which) const;
    void click(Button which);
    void updateButtons();

    // Asked before Delete removes a record; the record stays when it answers false.
    std::function<bool()> confirmDelete;

private:
    DataSet &m_dataSet;
    Guard m_guard;
    QList<std::pair<Button, QToolButton *>> m_buttons;
    int m_listener = 0;
};

} // namespace pictavo
