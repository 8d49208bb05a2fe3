// An up-down control bound to an edit: it reads its position from the edit's
// text and writes the new position back after a step.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

class CUpDown : public QWidget {
    Q_OBJECT
public:
    CUpDown(QLineEdit* buddy, QWidget* parent);

    // The up arrow steps toward maxPos, the down arrow toward minPos; either
    // may be the larger. Steps stop at the ends.
    void SetRange(int minPos, int maxPos);
    // The number in the edit when it is a whole number within the range,
    // otherwise the last valid position (and *error set).
    int Pos(bool* error = nullptr) const;
    void SetPos(int pos);

    void StepUp();
    void StepDown();

    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Step(int direction);

    QLineEdit* buddy_;
    QToolButton* up_;
    QToolButton* down_;
    int minPos_ = 0;
    int maxPos_ = 100;
    mutable int lastValid_ = 0;
};
