// Renders every operator window to a PNG, on sample data, so that anyone can look at them:
//   ninja screenshots   (writes <build>/screenshots/*.png)
#include "core/ActivityLog.h"
#include "core/Clock.h"
#include "core/HeadlessPrompt.h"
#include "engine/AutoReplyRepository.h"
#include "gui/autoreply/KeywordReplyWindow.h"
#include "gui/autoreply/MissedCallReplyWindow.h"
#include "gui/common/WaitWindow.h"
#include "gui/main/AboutWindow.h"
#include "gui/main/HomePage.h"
#include "gui/main/MainWindow.h"
#include "gui/main/SplashWindow.h"
#include "gui/messages/ComposeWindow.h"
#include "gui/messages/MessageBoxWindow.h"
#include "gui/settings/CountryWindow.h"
#include "gui/settings/SettingsWindow.h"
#include "gui/sim/SimManagerWindow.h"
#include "gui/webmail/SmsAccountsWindow.h"
#include "gui/webmail/WebmailInboxWindow.h"
#include "store/CallRepository.h"
#include "store/Database.h"
#include "store/InboxRepository.h"
#include "store/OutboxRepository.h"
#include "store/Query.h"
#include "webmail/ReceivedEmailRepository.h"
#include "webmail/SmsAccountRepository.h"

#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>

namespace {

using namespace parlix;

class FixedClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 12, 5), QTime(10, 42, 7)); }
};

void seed(const QSqlDatabase &db, const Clock &clock, ActivityLog &log)
{
    const QDateTime now = clock.now();
    InboxRepository inbox(db);
    const char *const received[][2] = {
        {"+919812345678", "Please call me back when you are free."},
        {"+447700900123", "ORDER 1187 confirmed, delivery tomorrow 9-12."},
        {"+919876501234", "BAL"},
        {"+14155550199", "Meeting moved to 3 pm,\r\nroom B2."},
        {"+919812345678", "Thanks, received the documents."},
        {"+61491570156", "STOP"},
    };
    int i = 0;
    for (const auto &r : received) {
        auto id = inbox.insert(QString::fromLatin1(r[0]), QString::fromLatin1(r[1]), now.addSecs(-900 * ++i));
        if (id && i > 3)
            inbox.markRead(id.value());
    }
    OutboxRepository outbox(db);
    outbox.insertPending(QStringLiteral("+919812345678"), QStringLiteral("Your ticket 4471 is ready."),
                         now.addSecs(-120));
    outbox.insertPending(QStringLiteral("+447700900123"), QStringLiteral("Reminder: payment due Friday."),
                         now.addSecs(-60));
    const qint64 sending =
        outbox.insertPending(QStringLiteral("+14155550199"), QStringLiteral("On my way."), now).value();
    outbox.claimWaiting(QStringLiteral("screenshots"), now.addSecs(300), 1, sending - 1);
    for (int k = 1; k <= 4; ++k) {
        const qint64 id =
            outbox
                .insertPending(QStringLiteral("+91981234%1").arg(5670 + k),
                               QStringLiteral("Auto reply: we will contact you shortly."), now.addSecs(-3600 * k))
                .value();
        outbox.markSent(id, now.addSecs(-3600 * k + 40));
    }
    CallRepository calls(db);
    calls.insert(QStringLiteral("+919812345678"), now.addSecs(-1800), true);
    calls.insert(QStringLiteral("+447700900123"), now.addSecs(-600), true);

    SmsAccountRepository accounts(db);
    accounts.save({0, QStringLiteral("acme"), QStringLiteral("s3cret"), QStringLiteral("ACME Ltd"), 120});
    accounts.save({0, QStringLiteral("northwind"), QStringLiteral("pa55"), QStringLiteral("Northwind"), 12.5});
    ReceivedEmailRepository emails(db);
    const char *const mails[][4] = {
        {"orders@acme.example", "Order update", "acme", ""},
        {"it@northwind.example", "Reminder", "northwind", "SMSPassword does not exist"},
        {"ops@acme.example", "Night shift", "acme",
         "**WARNING** SMS user authentication failed for SMSUserName 'acme'"},
    };
    int m = 0;
    for (const auto &e : mails) {
        const QString reason = QString::fromLatin1(e[3]);
        emails.insert({QStringLiteral("Sender"), QString::fromLatin1(e[0]), QString::fromLatin1(e[1]),
                       now.addSecs(-700 * ++m), QStringLiteral("text/plain"),
                       QStringLiteral("<smsusername>%1</smsusername><smspassword>x</smspassword>"
                                      "<tomobilenumbers>+919812345678</tomobilenumbers><message>Hello</message>")
                           .arg(QString::fromLatin1(e[2])),
                       now.addSecs(-690 * m), reason.isEmpty(), reason});
    }
    AutoReplyRepository replies(db);
    replies.setSendAutoReply(true);
    replies.insert(QStringLiteral("price"), QStringLiteral("Our prices: see www.example.com/prices"));
    replies.insert(QStringLiteral("hours"), QStringLiteral("We are open 9-17, Monday to Friday."));

    for (const char *line :
         {"Initializing WebMail-To-SMS Properties.", "Initializing SMS Delivery Properties.",
          "Connecting to GSM Modem.", "Connection to GSM Modem successful.", "Response for ATE0 is 'OK'",
          "Response for AT+CMGF=1 is 'OK'", "Checking for new SMS on SIM card.",
          "Checking if there are any SMS to be sent.", "SMS sent successfully to +919812345671"})
        log.WriteActivityLog(QString::fromLatin1(line));
}

bool save(QWidget *w, const QString &dir, const QString &name, QSize size = {})
{
    if (size.isValid())
        w->resize(size);
    w->show();
    for (int i = 0; i < 5; ++i) // queued updates (the log box) may queue further work
        QApplication::processEvents();
    const QString path = QDir(dir).filePath(name + QStringLiteral(".png"));
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(outDir);

    QTemporaryDir tmp;
    auto conn = DbConnection::open(tmp.filePath(QStringLiteral("Parlix.db")));
    if (!conn) {
        std::fprintf(stderr, "cannot create the sample database: %s\n", qPrintable(conn.error()));
        return 1;
    }
    FixedClock clock;
    ActivityLog log(clock);
    HeadlessPrompt prompt(log);
    seed(conn.value()->db(), clock, log);

    bool ok = true;
    MainWindow main({&log, conn.value().get(), nullptr, &prompt, &clock});
    if (!main.load()) {
        std::fprintf(stderr, "the main window does not load: %s\n", qPrintable(main.loadError()));
        return 1;
    }
    main.showNormal();
    ok &= save(&main, outDir, QStringLiteral("MDI_Frmmanage-home"), QSize(1024, 768));

    main.homePage()->setMsgType(QStringLiteral("I"));
    main.openWindow(WindowEntry::MessageBox);
    if (QMdiSubWindow *frame = main.mdiArea()->activeSubWindow())
        frame->showMaximized();
    ok &= save(&main, outDir, QStringLiteral("MDI_Frmmanage-messagebox"), QSize(1024, 768));

    MessageBoxServices services{conn.value()->db(), &prompt, &clock, {}, {}, {}, {}, {}};
    MessageBoxWindow sent(services, {});
    sent.fillListSent();
    ok &= save(&sent, outDir, QStringLiteral("Frm_MessageBox-sent"), QSize(900, 560));
    MessageBoxWindow outbox(services, QStringLiteral("O"));
    ok &= save(&outbox, outDir, QStringLiteral("Frm_MessageBox-outbox"), QSize(900, 560));

    ComposeWindow compose(conn.value()->db(), prompt, clock);
    compose.setNumbers(QStringLiteral("9888812121, +442123234455"));
    compose.setMessage(QStringLiteral("Your order is ready for collection."));
    ok &= save(&compose, outDir, QStringLiteral("frm_ComposeSMS"));

    AboutWindow about;
    ok &= save(&about, outDir, QStringLiteral("frm_About"));
    WaitWindow wait;
    ok &= save(&wait, outDir, QStringLiteral("frm_Wait"));
    SplashWindow splash(nullptr, 60000);
    ok &= save(&splash, outDir, QStringLiteral("frmSplash"));

    SettingsServices settingsServices;
    settingsServices.db = conn.value()->db();
    settingsServices.prompt = &prompt;
    auto *settings = new SettingsWindow(settingsServices);
    ok &= save(settings, outDir, QStringLiteral("frm_Settings"));
    settings->close();
    auto *country = new CountryWindow(conn.value()->db(), prompt);
    ok &= save(country, outDir, QStringLiteral("Country"));
    country->close();

    SmsAccountsWindow accountsWindow(conn.value()->db(), prompt);
    ok &= save(&accountsWindow, outDir, QStringLiteral("frm_ManageSMSUsers"));
    auto *webmail = new WebmailInboxWindow(conn.value()->db(), prompt, clock);
    webmail->findChild<QWidget *>(QStringLiteral("cmbEmailType"))->setProperty("currentIndex", 0);
    webmail->FillPOP3TreeView();
    ok &= save(webmail, outDir, QStringLiteral("frm_POP3InBoxForWebToSMS"));
    webmail->close();
    auto *sim = new SimManagerWindow(nullptr, prompt);
    ok &= save(sim, outDir, QStringLiteral("frmManageSIM"));
    sim->close();
    auto *keywords = new KeywordReplyWindow(conn.value()->db(), prompt);
    ok &= save(keywords, outDir, QStringLiteral("Frm_Reply"));
    keywords->close();
    MissedCallReplyWindow missed(settingsServices);
    ok &= save(&missed, outDir, QStringLiteral("frm_AutoReplyOnMissedCall"));

    main.openWindow(WindowEntry::WebmailInbox);
    if (QMdiSubWindow *frame = main.mdiArea()->activeSubWindow())
        frame->showMaximized();
    ok &= save(&main, outDir, QStringLiteral("MDI_Frmmanage-webmail"), QSize(1024, 768));
    return ok ? 0 : 1;
}
