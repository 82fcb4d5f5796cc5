#include "export/ExportJob.h"

#include "store/Database.h"

#include <QThread>

namespace parlix {

ExportJob::ExportJob(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<ExportOutcome>();
}

ExportJob::~ExportJob()
{
    if (m_thread == nullptr)
        return;
    cancel();
    m_thread->wait();
    delete m_thread;
}

bool ExportJob::isRunning() const
{
    return m_thread != nullptr && m_thread->isRunning();
}

void ExportJob::cancel()
{
    m_cancel = true;
}

void ExportJob::start(const QString &databasePath, const ExportRequest &request)
{
    if (isRunning())
        return;
    if (m_thread != nullptr) {
        m_thread->wait();
        delete m_thread;
    }
    m_cancel = false;
    m_thread = QThread::create([this, databasePath, request] {
        ExportOutcome outcome;
        {
            // The connection belongs to this thread and is closed before it ends.
            const auto conn = DbConnection::open(databasePath, DbConnection::Mode::ExistingOnly);
            if (!conn) {
                outcome.kind = ExportOutcome::Kind::Failed;
                outcome.error = conn.error();
            } else {
                outcome = runSmsExport(conn.value()->db(), request, m_cancel,
                                       [this](qint64 written, qint64 total) { Q_EMIT progress(written, total); });
            }
        }
        Q_EMIT finished(outcome);
    });
    m_thread->setObjectName(QStringLiteral("export"));
    m_thread->start();
}

} // namespace parlix
