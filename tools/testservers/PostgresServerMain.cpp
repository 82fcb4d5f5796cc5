// The CTest fixture around the PostgreSQL suites: "start STATE" starts one throw-away server for
// the whole run and describes it in the file STATE; "stop STATE" stops it and removes both.
#include "testservers/PostgresServer.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

using parlix::test::PostgresServer;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 || (args.at(1) != QLatin1String("start") && args.at(1) != QLatin1String("stop"))) {
        std::fprintf(stderr, "usage: %s start|stop STATE-FILE\n", argv[0]);
        return 2;
    }
    const QString state = args.at(2);
    if (args.at(1) == QLatin1String("start")) {
        auto server = PostgresServer::start();
        if (!server) {
            std::fprintf(stderr, "The PostgreSQL test server cannot be started: %s\n", qPrintable(server.error()));
            return 1;
        }
        if (const auto saved = server.value()->save(state); !saved) {
            std::fprintf(stderr, "%s\n", qPrintable(saved.error));
            return 1;
        }
        server.value()->keepRunning();
        std::printf("PostgreSQL test server on 127.0.0.1:%d\n", server.value()->port());
        return 0;
    }
    auto server = PostgresServer::attach(state);
    if (!server) {
        std::fprintf(stderr, "%s\n", qPrintable(server.error()));
        return 1;
    }
    const auto stopped = server.value()->stop();
    QFile::remove(state);
    if (!stopped) {
        std::fprintf(stderr, "%s\n", qPrintable(stopped.error));
        return 1;
    }
    return 0;
}
