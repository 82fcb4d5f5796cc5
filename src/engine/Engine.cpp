#include "engine/Engine.h"

#include "shell/ActivityLog.h"

namespace parlix {

Engine::Engine(EngineContext context, QObject *parent)
    : QObject(parent)
    , m_context(std::move(context))
{
}

Engine::~Engine() = default;

void Engine::initialise()
{
    auto db = DbConnection::open(m_context.databasePath, DbConnection::Mode::ExistingOnly);
    if (!db) {
        m_context.log->WriteActivityLog(QStringLiteral("**ERROR** ") + db.error());
        Q_EMIT initialised(false, db.error());
        return;
    }
    m_db = db.value();
    Q_EMIT initialised(true, QString());
}

void Engine::applySettings(const RuntimeSettings &settings)
{
    m_settings = settings;
    Q_EMIT settingsApplied();
}

void Engine::shutdown()
{
    m_db.reset();
    Q_EMIT stopped();
}

EngineHost::EngineHost(EngineContext context)
    : m_engine(new Engine(std::move(context)))
{
    qRegisterMetaType<parlix::RuntimeSettings>();
    m_thread.setObjectName(QStringLiteral("engine"));
    m_engine->moveToThread(&m_thread);
}

EngineHost::~EngineHost()
{
    stop();
    delete m_engine; // its thread has ended, so deleting it here is safe
}

void EngineHost::start()
{
    if (m_thread.isRunning())
        return;
    m_thread.start();
    QMetaObject::invokeMethod(m_engine, &Engine::initialise, Qt::QueuedConnection);
}

void EngineHost::stop()
{
    if (!m_thread.isRunning())
        return;
    QMetaObject::invokeMethod(m_engine, &Engine::shutdown, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

} // namespace parlix
