#include "support/QtPrinters.h"
#include "testservers/DovecotServer.h"
#include "testservers/SmtpServer.h"

#include "engine/SmtpGateway.h"
#include "engine/SmtpMessage.h"
#include "support/ManualClock.h"

#include <QJsonArray>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace parlix {

void PrintTo(const SmtpResult &r, std::ostream *os)
{
    *os << "{" << r.code << ", \"" << r.description.toStdString() << "\"}";
}

namespace {

using test::SmtpServer;

struct Sent
{
    SmtpResult result;
    QStringList status;
};

class SmtpGatewayTest : public ::testing::Test
{
protected:
    SmtpSendRequest request(quint16 port) const
    {
        SmtpSendRequest r;
        r.server = "127.0.0.1";
        r.port = qint16(port);
        r.fromName = "Head Office";
        r.fromAddress = "Head Office@gateway.example";
        r.toAddress = "+919812345678@sms.example";
        r.message = "Meeting at 10";
        return r;
    }

    Sent send(const SmtpSendRequest &r, SmtpOptions options = {})
    {
        options.connectTimeoutSeconds = 5;
        options.totalTimeoutSeconds = 15;
        SmtpGateway gateway(m_clock, options);
        Sent s;
        s.result = gateway.SendSMSThroughSMTP(r, [&](const QString &line) { s.status.append(line); });
        return s;
    }

    static void expectNoSecretIn(const QStringList &lines, const QString &password)
    {
        const QString b64 = QString::fromLatin1(password.toUtf8().toBase64());
        for (const QString &line : lines) {
            EXPECT_FALSE(line.contains(password)) << line.toStdString();
            EXPECT_FALSE(line.contains(b64)) << line.toStdString();
        }
    }

    test::ManualClock m_clock;
};

TEST_F(SmtpGatewayTest, LogsInOverStartTlsWithoutEverShowingThePassword)
{
    const std::pair<qint16, QString> mechanisms[] = {{2, "LOGIN"}, {3, "PLAIN"}};
    for (const auto &[type, mechanism] : mechanisms) {
        SCOPED_TRACE(mechanism.toStdString());
        SmtpServer server({"gw", "s3cr3t-Pw", true});
        ASSERT_TRUE(server.startError().isEmpty()) << server.startError().toStdString();

        SmtpSendRequest r = request(server.port());
        r.authenticationRequired = true;
        r.authenticationType = type;
        r.userName = "gw";
        r.password = "s3cr3t-Pw";
        SmtpOptions options;
        options.caFile = server.certificateFile();
        const Sent s = send(r, options);

        EXPECT_TRUE(s.result.ok()) << s.result.description.toStdString();
        ASSERT_EQ(server.mails().size(), 1);
        const QJsonObject auth = server.events().first();
        EXPECT_EQ(auth.value("mechanism").toString(), mechanism);
        EXPECT_TRUE(auth.value("ok").toBool());
        EXPECT_TRUE(s.status.contains("Starting TLS."));
        EXPECT_TRUE(s.status.contains(QStringLiteral("Logging in with AUTH %1.").arg(mechanism)));
        expectNoSecretIn(s.status, r.password);

        r.password = "wrong-one";
        const Sent denied = send(r, options);
        EXPECT_EQ(denied.result.code, 535) << denied.result.description.toStdString();
        expectNoSecretIn(denied.status + QStringList{denied.result.description}, r.password);
    }
}

TEST_F(SmtpGatewayTest, UnreachableServersGiveStableNumbers)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 closedPort = probe.serverPort();
    probe.close();

    EXPECT_EQ(send(request(closedPort)).result,
              SmtpResult::failure(
                  smtperror::kConnectionFailed,
                  QStringLiteral("The SMTP server '127.0.0.1' cannot be reached on port %1.").arg(closedPort)));

    SmtpSendRequest none = request(closedPort);
    none.server = "  ";
    EXPECT_EQ(send(none).result, SmtpResult::failure(smtperror::kBadRequest, "No SMTP server is set."));
}

TEST_F(SmtpGatewayTest, PopBeforeSmtpLogsInToTheMailboxFirst)
{
    test::DovecotServer pop;
    const Status popStarted = pop.start();
    ASSERT_TRUE(popStarted) << popStarted.error.toStdString();
    SmtpServer server({});
    ASSERT_TRUE(server.startError().isEmpty()) << server.startError().toStdString();

    SmtpSendRequest r = request(server.port());
    r.authenticationRequired = true;
    r.authenticationType = 1;
    r.userName = pop.userName();
    r.password = pop.password();
    SmtpOptions options;
    options.pop3Port = quint16(pop.port());

    // The mailbox offers no TLS, so its password is not sent unless that is allowed, and no mail
    // follows the failed POP3 login.
    const Sent refused = send(r, options);
    EXPECT_EQ(refused.result.code, smtperror::kPop3LoginFailed);
    EXPECT_TRUE(refused.result.description.startsWith("The POP3 server '127.0.0.1' offers no secure"))
        << refused.result.description.toStdString();
    EXPECT_TRUE(server.mails().isEmpty());

    r.allowCleartextPassword = true;
    const Sent s = send(r, options);
    EXPECT_TRUE(s.result.ok()) << s.result.description.toStdString();
    EXPECT_EQ(s.status.mid(0, 4),
              (QStringList{QStringLiteral("Logging in to the POP3 server 127.0.0.1:%1.").arg(pop.port()),
                           "Logging in with AUTH PLAIN.", "POP3 login done.",
                           QStringLiteral("Connecting to 127.0.0.1:%1.").arg(server.port())}));
    EXPECT_EQ(server.mails().size(), 1);
    expectNoSecretIn(s.status, r.password);
}

TEST(SmtpMessage, EncodesNamesAndTextsThatAreNotPlainAscii)
{
    SmtpSendRequest r;
    r.fromName = "Müller \"GmbH\"";
    r.fromAddress = "office@example.com";
    r.toAddress = "0712345@sms.example";
    r.message = "Price: 5 €\r\nSee you";
    const QByteArray m = buildSmtpMessage(r, QDateTime(QDate(2026, 12, 5), QTime(5, 11)));
    const QByteArray from =
        "From: =?UTF-8?B?" + QStringLiteral("Müller \"GmbH\"").toUtf8().toBase64() + "?= <office@example.com>\r\n";
    EXPECT_TRUE(m.contains(from));
    EXPECT_TRUE(m.contains("Subject: \r\n"));
    EXPECT_TRUE(m.contains("Content-Transfer-Encoding: quoted-printable\r\n"));
    EXPECT_TRUE(m.contains("\r\n\r\nPrice: 5 =E2=82=AC\r\nSee you\r\n")) << m.toStdString();

    r.fromName = "A \"quoted\" name";
    r.message = "plain";
    const QByteArray plain = buildSmtpMessage(r, QDateTime(QDate(2026, 12, 5), QTime(5, 11)));
    EXPECT_TRUE(plain.contains("From: \"A \\\"quoted\\\" name\" <office@example.com>\r\n"));
    EXPECT_TRUE(plain.contains("Content-Transfer-Encoding: 7bit\r\n"));

    EXPECT_EQ(SmtpGateway::smtpUrl("mail.example", 465, "h"), "smtps://mail.example:465/h");
    EXPECT_EQ(SmtpGateway::smtpUrl("mail.example", 587, "h"), "smtp://mail.example:587/h");
}

} // namespace
} // namespace parlix
