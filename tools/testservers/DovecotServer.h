#pragma once

#include "core/Result.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace parlix::test {

// A real dovecot POP3 server on a free 127.0.0.1 port, with one passwd-file user and a Maildir
// the test fills. Run as root it drops to nobody; otherwise it runs as the current user.
// Stopped (and its folder removed) with the object.
class DovecotServer
{
public:
    DovecotServer();
    ~DovecotServer();
    DovecotServer(const DovecotServer &) = delete;
    DovecotServer &operator=(const DovecotServer &) = delete;

    // Before start(): the server offers STLS with a self-signed certificate made for 127.0.0.1,
    // which caFile() holds for the client to trust.
    Status enableTls();
    QString caFile() const { return m_caFile; }

    // Starts the server and waits until it accepts connections; the failure says why not.
    // Started again after stop() it serves the same mailbox on the same port.
    Status start();
    void stop();
    // Kills every dovecot process at once, cutting open sessions mid-way.
    void kill();

    int port() const { return m_port; }
    QString userName() const { return QStringLiteral("gw"); }
    QString password() const { return QStringLiteral("secret"); }

    // Delivers a message into the mailbox the way a mail server would (tmp/, then new/).
    Status deliver(const QByteArray &raw);
    // Messages in the mailbox (new and cur), as a POP3 client would count them.
    int messageCount() const;

private:
    Status writeConfiguration();
    Status waitUntilListening();
    void signalGroup(int signal);
    QString path(const QString &relative) const { return m_dir.filePath(relative); }

    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
    int m_delivered = 0;
    QString m_caFile;
};

} // namespace parlix::test
