#pragma once

#include "ModemSimulator.h"

#include "core/ActivityLog.h"
#include "engine/Engine.h"
#include "support/ManualClock.h"
#include "support/PromptRecorder.h"
#include "support/TempDatabase.h"

#include <QStringList>

#include <memory>

namespace parlix::test {

// An engine on the test thread over a real database file and, when connected, the modem
// simulator on a pseudo-terminal. Ticks are driven by calling the handlers.
class EngineHarness
{
public:
    EngineHarness();
    ~EngineHarness() { engine->shutdown(); }

    // Starts the simulator, writes the ModemSettings row for it (text mode unless pdu) and runs
    // the connect command. Empty when the modem ended up ready, else why not.
    QString connectModem(bool callerId = true, bool pdu = false, bool reports = false);
    void applySettings() { engine->applySettings(settings); }
    // A new engine on the same database, connected to the running simulator: a restart.
    void restartEngine();

    // The activity log, oldest line first, each without its date; clearLog() starts afresh.
    QStringList logLines() const;
    void clearLog() { log.clear(); }

    qint64 count(const QString &sql, const QVariantList &values = {}) const;
    QString text(const QString &sql, const QVariantList &values = {}) const;
    // A column of an outbox row, "<null>" for null.
    QString outboxColumn(qint64 id, const QString &column = "DeliveryStatus") const
    {
        return text("SELECT COALESCE(" + column + ",'<null>') FROM Message_OutBox WHERE Outbox_Id=?", {id});
    }
    qint64 queue(const QString &recipient, const QString &message, const QString &fromName = {});

    ManualClock clock;
    ActivityLog log{clock};
    PromptRecorder prompt;
    TempDatabase db;
    sim::ModemSimulator modem;
    RuntimeSettings settings;
    std::unique_ptr<Engine> engine;
    QStringList sounds;

private:
    void createEngine();
};

} // namespace parlix::test
