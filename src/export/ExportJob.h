#pragma once

#include "export/SmsExport.h"

#include <QObject>

#include <atomic>

class QThread;

namespace parlix {

// One export on a thread of its own, with its own connection to the database, so the window
// that started it stays responsive. Progress and the end come back as signals, delivered on
// the thread the job lives in.
class ExportJob final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExportJob)

public:
    explicit ExportJob(QObject *parent = nullptr);
    // Cancels a running export and waits for its thread, which stops before its next row.
    ~ExportJob() override;

    // Starts the export unless one is running.
    void start(const QString &databasePath, const ExportRequest &request);
    // The export stops before its next row and finishes as cancelled.
    void cancel();
    bool isRunning() const;

Q_SIGNALS:
    void progress(qint64 written, qint64 total);
    void finished(const parlix::ExportOutcome &outcome);

private:
    std::atomic_bool m_cancel{false};
    QThread *m_thread = nullptr;
};

} // namespace parlix
