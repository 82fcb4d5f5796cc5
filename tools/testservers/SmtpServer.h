#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QVector>

namespace parlix::test {

// A real SMTP server (python3-aiosmtpd) on a free loopback port, for the life of the object.
// It accepts mail for every recipient except those containing refuseMarker (550), asks for a
// login when a user is given, and offers STARTTLS with a throw-away certificate when asked.
class SmtpServer
{
public:
    struct Config
    {
        QString user; // empty: no login
        QString password;
        bool startTls = false; // offer STARTTLS (and then demand it before AUTH)
        QString refuseMarker = QStringLiteral("refuse");
    };

    explicit SmtpServer(Config config);
    ~SmtpServer();

    // Empty when the server runs; otherwise why it does not.
    const QString &startError() const { return m_error; }
    quint16 port() const { return m_port; }
    // The certificate the server presents, for the client's trust list.
    QString certificateFile() const { return m_dir.filePath(QStringLiteral("cert.pem")); }

    // What the server received: {"type":"mail", from, to[], data} and {"type":"auth", mechanism, login}.
    QVector<QJsonObject> events() const;
    QVector<QJsonObject> mails() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_error;
    quint16 m_port = 0;
};

} // namespace parlix::test
