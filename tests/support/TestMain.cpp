#include <gtest/gtest.h>

#include <QApplication>

// Every test binary runs inside a QApplication on the offscreen platform, so core tests and
// window tests share one main and timers, sockets and queued calls work everywhere.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
