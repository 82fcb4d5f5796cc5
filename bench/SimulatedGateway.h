#pragma once

// The gateway's engine on the modem simulator, over a fresh database: what the benchmarks of
// the outbox and receive passes share.
#include "ModemSimulator.h"

#include "BenchSupport.h"
#include "core/ActivityLog.h"
#include "core/Clock.h"
#include "engine/Engine.h"
#include "modem/Modem.h"
#include "store/Database.h"
#include "store/Query.h"

#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace parlix::bench {

struct SimulatedGateway
{
    QTemporaryDir dir;
    sim::ModemSimulator modem{sim::ModemSimulator::Options{QStringLiteral("Parlix"), QStringLiteral("bench"), 250, {}}};
    ActivityLog log{SystemClock::instance()};
    NoPrompt prompt;
    DbConnectionPtr db;
    std::unique_ptr<Engine> engine;

    bool start(bool pdu)
    {
        QString error;
        if (!modem.start(&error)) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
            return false;
        }
        modem.setEcho(false);
        auto conn = DbConnection::open(dir.filePath(QStringLiteral("bench.db")));
        if (!conn) {
            std::fprintf(stderr, "database: %s\n", qPrintable(conn.error()));
            return false;
        }
        db = conn.value();
        sql::run(db->db(),
                 QStringLiteral("INSERT INTO ModemSettings (CommPortNo,BitsPerSecond,DataBits,Parity,StopBits,"
                                "FlowControl,CharacterSet,EnabledCallerId,ModemDelayFactor,SMSFormat) VALUES "
                                "(?,115200,8,'n','1','0','GSM',1,1,?)"),
                 {modem.devicePath(), pdu ? QStringLiteral("PDU") : QStringLiteral("TEXT")});
        engine = std::make_unique<Engine>(EngineContext{db->path(), &log, &prompt, &SystemClock::instance(), {}});
        engine->setPlaySound([](const QString &) {});
        engine->initialise();
        RuntimeSettings s;
        s.SMSDeliveryMedia = DeliveryMedium::Modem;
        s.SIMCardDeliveryMode = SimDeliveryMode::DirectDeliver;
        s.PduMode = pdu;
        engine->applySettings(s);
        engine->connectModem();
        if (!engine->modem()->ModemReady()) {
            std::fprintf(stderr, "the modem did not become ready\n%s\n", qPrintable(log.text()));
            return false;
        }
        return true;
    }
};

} // namespace parlix::bench
