#include <gtest/gtest.h>
#include <QtTest/QTest>
#include <QListView>
#include "app/MainDlg.h"
#include "platform/Prompter.h"
#include "res/ControlIds.h"
TEST(Probe, Metrics) {
    platform::RecordingPrompter p;
    CMainDlg d(p);
    printf("bx=%d by=%d size=%dx%d min=%dx%d\n", d.BaseUnitX(), d.BaseUnitY(), d.width(), d.height(), d.minimumWidth(), d.minimumHeight());
    d.show();
    printf("exposed=%d\n", QTest::qWaitForWindowExposed(&d));
    d.activateWindow();
    printf("active=%d\n", QTest::qWaitForWindowActive(&d));
    printf("frame %d,%d %dx%d geo %d,%d %dx%d\n", d.frameGeometry().x(), d.frameGeometry().y(), d.frameGeometry().width(), d.frameGeometry().height(), d.geometry().x(), d.geometry().y(), d.width(), d.height());
    auto* l = d.Control(IDC_RECORD_LIST);
    printf("list %d,%d %dx%d\n", l->x(), l->y(), l->width(), l->height());
    d.move(-700, 10);
    QApplication::processEvents();
    printf("after move frame %d,%d geo %d,%d\n", d.frameGeometry().x(), d.frameGeometry().y(), d.x(), d.y());
    printf("focus %p repeat %p\n", (void*)d.focusWidget(), (void*)d.Control(IDC_REPEAT_CHK));
}
