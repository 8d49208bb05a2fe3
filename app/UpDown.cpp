#include "app/UpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

#include "dialog/DialogText.h"

CUpDown::CUpDown(QLineEdit* buddy, QWidget* parent)
    : QWidget(parent), buddy_(buddy), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up_, down_}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
    }
    connect(up_, &QToolButton::clicked, this, &CUpDown::StepUp);
    connect(down_, &QToolButton::clicked, this, &CUpDown::StepDown);
    if (buddy_) buddy_->installEventFilter(this);
}

void CUpDown::SetRange(int minPos, int maxPos) {
    minPos_ = minPos;
    maxPos_ = maxPos;
    lastValid_ = std::clamp(lastValid_, std::min(minPos, maxPos), std::max(minPos, maxPos));
    Pos();  // take the edit's number when it is valid
}

int CUpDown::Pos(bool* error) const {
    const std::string text = buddy_ ? buddy_->text().toStdString() : std::string();
    return UpDownPosition(text, minPos_, maxPos_, lastValid_, error);
}

void CUpDown::SetPos(int pos) {
    lastValid_ = std::clamp(pos, std::min(minPos_, maxPos_), std::max(minPos_, maxPos_));
    if (buddy_) buddy_->setText(QString::number(lastValid_));
}

void CUpDown::StepUp() {
    Step(+1);
}
void CUpDown::StepDown() {
    Step(-1);
}

void CUpDown::Step(int direction) {
    const int toward = maxPos_ >= minPos_ ? direction : -direction;
    SetPos(Pos() + toward);
}

void CUpDown::resizeEvent(QResizeEvent*) {
    const int h = height() / 2;
    up_->setGeometry(0, 0, width(), h);
    down_->setGeometry(0, h, width(), height() - h);
}

bool CUpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == buddy_ && event->type() == QEvent::KeyPress && isEnabled()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up) {
            StepUp();
            return true;
        }
        if (key->key() == Qt::Key_Down) {
            StepDown();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
