#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace parlix {

// One SMS handed to an email-to-SMS gateway, with the gateway settings it goes through.
struct SmtpSendRequest
{
    QString server;
    qint16 port = 25;
    bool authenticationRequired = false;
    qint16 authenticationType = 0; // 0 None, 1 POP3 login first, 2 AUTH LOGIN, 3 AUTH PLAIN
    QString userName;
    QString password;
    // The operator allows the password on a link without TLS.
    bool allowCleartextPassword = false;
    qint16 encodeType = 0; // carried for the log line only: the body is always a MIME text part
    QString fromName;      // the display name of the sender
    QString fromAddress;
    QString toAddress;
    QString message;
};

// The email as sent: headers with the sender's display name, no subject, a text/plain body
// (7bit when every line is plain ASCII, else quoted-printable UTF-8).
QByteArray buildSmtpMessage(const SmtpSendRequest &request, const QDateTime &date);

} // namespace parlix
