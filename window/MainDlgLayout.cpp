// CMainDlg: the list, status line and bottom buttons follow the window's
// size; the minimum size; the compact mode.
#include <QCheckBox>
#include <QResizeEvent>
#include <QShowEvent>
#include <algorithm>

#include "window/MainDlg.h"
#include "dialog/ControlIds.h"

namespace {
// Smallest outer window size, frame and caption included.
constexpr int kMinWindowWidth = 586;
constexpr int kMinWindowHeight = 320;
}  // namespace

void CMainDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    OnSize(event->size().width(), event->size().height());
}

void CMainDlg::OnSize(int cx, int cy) {
    if (QWidget* list = Control(IDC_RECORD_LIST)) {
        const QPoint topLeft = list->pos();
        list->setGeometry(topLeft.x(), topLeft.y(), std::max(0, cx - 14 - topLeft.x()),
                          std::max(0, cy - 60 - topLeft.y()));
    }
    // The status line ends where the buttons of the right-hand column begin.
    if (QWidget* status = Control(IDC_STATUS))
        status->setGeometry(12, cy - 27, std::max(0, cx - 134), 20);
    const QRect buttonRow(12, cy - 54, 98, 21);
    if (QWidget* generate = Control(IDC_GENERATE)) generate->setGeometry(buttonRow);
    if (QWidget* exit = Control(IDC_EXIT)) exit->setGeometry(cx - 116, cy - 54, 102, 21);
    if (QWidget* browse = Control(IDC_BROWSE_RESULT)) browse->setGeometry(cx - 116, cy - 28, 102, 21);
    // The encoding lists and their labels keep their places beside Generate,
    // centred on the buttons' row.
    for (int id : {IDC_CSV_ENCODING_LABEL, IDC_CSV_ENCODING, IDC_HTML_ENCODING_LABEL,
                   IDC_HTML_ENCODING})
        if (QWidget* w = Control(id))
            w->move(w->x(), buttonRow.y() + (buttonRow.height() - w->height()) / 2);
}

void CMainDlg::ApplyMinimumSize() {
    // Qt limits the client area; take the frame off the outer minimum.
    const QSize frame = frameGeometry().size() - geometry().size();
    setMinimumSize(std::max(0, kMinWindowWidth - frame.width()),
                   std::max(0, kMinWindowHeight - frame.height()));
}

void CMainDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ApplyMinimumSize();
}

void CMainDlg::OnCompact() {
    const QRect outer = frameGeometry();
    const QSize frame = outer.size() - geometry().size();
    if (!compactChk_) {
        savedWindowRect_ = outer;
        compactChk_ = true;
        // Stretch to the screen origin; the minimum size raises both sides,
        // so a window right of and below the origin ends at its minimum.
        const int width = std::max(kMinWindowWidth, -outer.left());
        const int height = std::max(kMinWindowHeight, -outer.top());
        resize(width - frame.width(), height - frame.height());
    } else {
        compactChk_ = false;
        resize(savedWindowRect_.width() - frame.width(), savedWindowRect_.height() - frame.height());
    }
    move(outer.topLeft());
    repaint();
}
