// Times one webmail poll against a real dovecot on 127.0.0.1 with N emails in the mailbox
// (default 1000), and how much of it is spent in exchanges with the POP3 server.
//
//   build/bin/bench_webmail_poll [emails]
//
// Pass 1: N tagged emails, each queued, charged, stored and deleted (one transaction each).
// Pass 2: N emails without a text body, read once and remembered.
// Pass 3: the same N emails again: only the UIDL listing and the remembered-key check.
// Pass 4: N tagged emails of which 10 are larger than the size limit (12 MB each against the
//         default 10 MB): the large ones are skipped unread; peak memory is reported after each
//         pass (getrusage ru_maxrss) and stays flat.
#include "core/ActivityLog.h"
#include "core/Clock.h"
#include "core/Prompt.h"
#include "store/Database.h"
#include "store/Query.h"
#include "testservers/DovecotServer.h"
#include "webmail/WebmailPoller.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace parlix;

namespace {

class SilentPrompt final : public Prompt
{
public:
    bool ask(const Request &request) override
    {
        std::fprintf(stderr, "prompt: %s\n", qPrintable(request.text));
        return false;
    }
};

QByteArray email(int i, bool withText)
{
    const QByteArray head = "From: \"Bench " + QByteArray::number(i) + "\" <bench" + QByteArray::number(i) +
                            "@example.com>\r\nSubject: SMS " + QByteArray::number(i) +
                            "\r\nDate: Tue, 05 Dec 2006 10:20:30 +0530\r\nMIME-Version: 1.0\r\n";
    if (!withText)
        return head + "Content-Type: text/html\r\n\r\n<p>no text part</p>\r\n";
    return head +
           "Content-Type: multipart/alternative; boundary=\"b\"\r\n\r\n--b\r\n"
           "Content-Type: text/plain; charset=ISO-8859-1\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
           "<smsusername>bench</smsusername><smspassword>pw</smspassword>\r\n"
           "<tomobilenumbers>+91 98100-" +
           QByteArray::number(10000 + i) + ", 98.100." + QByteArray::number(20000 + i) +
           "</tomobilenumbers>\r\n<message>Caf=E9 order " + QByteArray::number(i) +
           " is ready</message>\r\n--b\r\nContent-Type: text/html\r\n\r\n<p>html</p>\r\n--b--\r\n";
}

void report(const char *what, const WebmailPollSummary &s, int emails)
{
    std::printf("%-44s %6d in mailbox, %6d stored: %7.3f s per poll, %5.2f ms per email, server share %4.1f %%\n", what,
                s.inMailbox, s.stored, double(s.totalMs) / 1000.0, emails ? double(s.totalMs) / emails : 0.0,
                s.totalMs ? 100.0 * double(s.serverMs) / double(s.totalMs) : 0.0);
}

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 1000;

    test::DovecotServer server;
    if (Status s = server.start(); !s) {
        std::fprintf(stderr, "dovecot: %s\n", qPrintable(s.error));
        return 1;
    }
    QTemporaryDir dir;
    auto db = DbConnection::open(dir.filePath(QStringLiteral("bench.db")));
    if (!db) {
        std::fprintf(stderr, "database: %s\n", qPrintable(db.error()));
        return 1;
    }
    sql::run(db.value()->db(),
             QStringLiteral("INSERT INTO SMS_UserAccounts (SMSUserName,SMSPassword,SMSFromName,SMSBalanceCredits) "
                            "VALUES ('bench','pw','Bench',1000000000)"));

    ActivityLog log(SystemClock::instance());
    SilentPrompt prompt;
    WebmailPoller poller(EngineContext{db.value()->path(), &log, &prompt, &SystemClock::instance(), {}});
    poller.initialise();
    RuntimeSettings settings;
    settings.POP3MailServer = QStringLiteral("127.0.0.1");
    settings.POP3Port = server.port();
    settings.POP3UserName = server.userName();
    settings.POP3Password = server.password();
    settings.WebMailToSMSEnabled = true;
    settings.POP3AllowClearTextLogin = true; // the bench server offers no STLS
    poller.applySettings(settings);

    for (int i = 0; i < count; ++i)
        server.deliver(email(i, true));
    poller.tick();
    report("tagged emails (queue, charge, store, delete)", poller.lastPoll(), count);
    std::printf("peak memory after pass 1: %ld KB\n", peakRssKb());

    for (int i = 0; i < count; ++i)
        server.deliver(email(i, false));
    poller.tick();
    report("emails without text body (read, remember)", poller.lastPoll(), count);
    poller.tick();
    report("same emails again (UIDL check only)", poller.lastPoll(), count);
    std::printf("peak memory after pass 3: %ld KB\n", peakRssKb());

    // The emails of pass 2 are still in the mailbox (remembered): they are left out of the count.
    // Delivered by a child process, so the bench's own 12 MB buffers stay out of the peak.
    const pid_t child = ::fork();
    if (child == 0) {
        const int large = count >= 100 ? 10 : 1;
        const QByteArray padding((kDefaultMaxEmailSizeKB + 2048) * 1024, 'x');
        for (int i = 0; i < count; ++i) {
            const bool over = i % (count / large) == count / large / 2;
            server.deliver(over ? email(count + i, true) + "\r\n" + padding : email(count + i, true));
        }
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    poller.tick();
    report("tagged emails, 10 over the size limit", poller.lastPoll(), count);
    std::printf("skipped over the limit: %lld, peak memory after pass 4: %ld KB\n",
                static_cast<long long>(poller.lastPoll().inMailbox - poller.lastPoll().stored - count), peakRssKb());

    poller.shutdown();
    server.stop();
    return 0;
}
