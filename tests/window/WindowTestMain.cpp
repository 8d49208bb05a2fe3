#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>

int main(int argc, char** argv) {
    // Window tests never need a display, and see the same fonts and DPI.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // QUOLIX_TEST_SCALE runs them at another scale.
    const QByteArray scale = qgetenv("QUOLIX_TEST_SCALE");
    qputenv("QT_SCALE_FACTOR", scale.isEmpty() ? QByteArray("1") : scale);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
