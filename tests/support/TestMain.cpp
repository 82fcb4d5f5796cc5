#include <gtest/gtest.h>

#ifdef PARLIX_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

// Core suites run under a QCoreApplication, as the headless program does, so nothing in them
// can lean on a widget; window suites get a QApplication on the offscreen platform. Both give
// timers, sockets and queued calls an event loop.
int main(int argc, char **argv)
{
#ifdef PARLIX_TEST_GUI
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
