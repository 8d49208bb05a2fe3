// An up-down control bound to an edit: two arrows, and the Up and Down keys
// in the edit. It keeps no number of its own: a step is asked of whoever
// holds the edit's number (Stepped).
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

class CUpDown : public QWidget {
    Q_OBJECT
public:
    CUpDown(QLineEdit* buddy, QWidget* parent);

    QLineEdit* Buddy() const { return buddy_; }
    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }

signals:
    // +1 for the up arrow, -1 for the down arrow.
    void Stepped(int direction);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* buddy_;
    QToolButton* up_;
    QToolButton* down_;
};
