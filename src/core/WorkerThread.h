#pragma once

#include <QThread>

namespace parlix {

// Owns one worker object on a thread of its own: the worker is moved there at construction,
// initialise() runs first on that thread, and the worker is deleted once the thread has ended.
// The owner's destructor must stop the thread (each worker has its own way to wind down).
template <typename Worker> class WorkerThread
{
    Q_DISABLE_COPY_MOVE(WorkerThread)

public:
    Worker *worker() const { return m_worker; }

    void start()
    {
        if (m_thread.isRunning())
            return;
        m_thread.start();
        QMetaObject::invokeMethod(m_worker, &Worker::initialise, Qt::QueuedConnection);
    }

    // Settings travel to the worker as a copy, through its thread's event queue.
    template <typename Settings> void applySettings(const Settings &settings)
    {
        QMetaObject::invokeMethod(
            m_worker, [worker = m_worker, settings] { worker->applySettings(settings); }, Qt::QueuedConnection);
    }

protected:
    WorkerThread(Worker *worker, const QString &threadName)
        : m_worker(worker)
    {
        m_thread.setObjectName(threadName);
        m_worker->moveToThread(&m_thread);
    }
    ~WorkerThread() { delete m_worker; } // its thread has ended, so deleting it here is safe

    QThread m_thread;
    Worker *m_worker;
};

} // namespace parlix
