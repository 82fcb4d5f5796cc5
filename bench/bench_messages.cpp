// The message box on a million-row inbox: the time to open it on the inbox, to list all
// messages, to go to the last page, to search by number, and to rebuild the folder tree,
// measured through the real window (offscreen); and the home page's counts.
//
//   build/bin/bench_messages [--postgres] [unread-every-nth]
//     (default 100: one message in a hundred unread; 1 makes every message unread)
//     --postgres: on a throw-away PostgreSQL server (the tests' own), with a million outbox
//     rows besides (one in a hundred waiting) for the outbox count
//     --existing ADDRESS: on a database an earlier run filled (skips the minute of filling)
#include "BenchSupport.h"
#include "core/ActivityLog.h"
#include "core/Clock.h"
#include "core/HeadlessPrompt.h"
#include "gui/common/PagedListView.h"
#include "gui/messages/MessageBoxWindow.h"
#include "store/CallRepository.h"
#include "store/Database.h"
#include "store/InboxRepository.h"
#include "store/OutboxRepository.h"
#include "store/Query.h"
#include "testservers/PostgresServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace parlix;

namespace {

bool fill(const QSqlDatabase &db, int unreadEvery)
{
    return bench::runAll(db, {bench::inboxYearSql(), QStringLiteral("ANALYZE")}, {unreadEvery});
}

// The same year of history, made by the server in one statement per table.
bool fillPostgres(const QSqlDatabase &db, int unreadEvery)
{
    const QString series = QStringLiteral("FROM generate_series(1,1000000) AS x");
    const QString when = QStringLiteral("to_char(localtimestamp - (1000000-x) * interval '31 seconds', "
                                        "'YYYY-MM-DD HH24:MI:SS')");
    const QString number = QStringLiteral("'+9198' || lpad(((x::bigint * 7919) % 100000000)::text, 8, '0')");
    return bench::runAll(
        db,
        {QStringLiteral("INSERT INTO Message_InBox (SenderMobileNo,SenderId,Message,InboxDateTime,IsRead,ReceivedBy) "
                        "SELECT ") +
             number +
             QStringLiteral(", 0, 'Order ' || x || ' confirmed, thank you for shopping with us. Reply STOP to opt "
                            "out.', ") +
             when + QStringLiteral(", CASE WHEN x % CAST(? AS INTEGER) = 0 THEN 0 ELSE 1 END, 'north' ") + series,
         QStringLiteral("INSERT INTO Message_OutBox (RecipientMobileNo,Message,OutBoxDateTime,DeliveryDatetime,"
                        "DeliveryStatus,SentBy) SELECT ") +
             number + QStringLiteral(", 'Your code is ' || x, ") + when +
             QStringLiteral(", CASE WHEN x % 100 = 0 THEN "
                            "NULL ELSE ") +
             when + QStringLiteral(" END, CASE WHEN x % 100 = 0 THEN NULL ELSE 'SENT' END, 'south' ") + series,
         // What autovacuum does on a live server: the visibility map lets counts read the index alone.
         QStringLiteral("VACUUM ANALYZE")},
        {unreadEvery});
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    bool postgres = args.removeAll(QStringLiteral("--postgres")) > 0;
    QString existing;
    if (const qsizetype at = args.indexOf(QStringLiteral("--existing")); at >= 0 && at + 1 < args.size()) {
        existing = args.takeAt(at + 1);
        args.removeAt(at);
        postgres = existing.startsWith(QLatin1String("postgresql://"));
    }
    const int unreadEvery = !args.isEmpty() ? std::max(1, args.first().toInt()) : 100;

    QTemporaryDir dir;
    QString location = dir.filePath(QStringLiteral("Parlix.db"));
    if (!existing.isEmpty()) {
        location = existing;
    } else if (postgres) {
        auto server = test::PostgresServer::shared();
        auto address = server ? server.value()->createDatabase() : Result<QString>::failure(server.error());
        if (!address) {
            std::fprintf(stderr, "%s\n", qPrintable(address.error()));
            return 1;
        }
        location = address.value();
    }
    auto conn = DbConnection::open(location);
    if (!conn) {
        std::fprintf(stderr, "%s\n", qPrintable(conn.error()));
        return 1;
    }
    QElapsedTimer filling;
    filling.start();
    if (existing.isEmpty() &&
        !(postgres ? fillPostgres(conn.value()->db(), unreadEvery) : fill(conn.value()->db(), unreadEvery)))
        return 1;
    std::printf("%s: 1,000,000 inbox rows, one in %d unread%s, written in %.1f s\n", postgres ? "PostgreSQL" : "SQLite",
                unreadEvery, postgres ? ", and 1,000,000 outbox rows, one in 100 waiting" : "",
                double(filling.elapsed()) / 1000);

    ActivityLog log(SystemClock::instance());
    HeadlessPrompt prompt(log);
    const MessageBoxServices services{conn.value()->db(), &prompt, &SystemClock::instance(), {}, {}, {}, {}, {}};
    const int runs = 7;

    std::unique_ptr<MessageBoxWindow> window;
    const double open = bench::medianMs(runs, [&] {
        window.reset();
        window = std::make_unique<MessageBoxWindow>(services, QStringLiteral("I"));
    });
    window->show();
    PagedListView *paged = window->pagedList();
    auto *pages = window->findChild<QLineEdit *>(QStringLiteral("txtPages"));
    auto *search = window->findChild<QLineEdit *>(QStringLiteral("txtMobNo"));
    auto *unread = window->findChild<QRadioButton *>(QStringLiteral("optUnread"));
    auto *all = window->findChild<QRadioButton *>(QStringLiteral("optAllSMS"));

    auto lastPage = [&] {
        paged->setCurrentPage(1);
        pages->setText(QString::number(paged->pageCount()));
        QTest::keyClick(pages, Qt::Key_Return);
    };
    const double lastUnread = bench::medianMs(runs, lastPage);
    const QString unreadCaption = paged->caption();

    const double allFirst = bench::medianMs(runs, [&] {
        paged->setCurrentPage(1);
        all->click();
    });
    const double allLast = bench::medianMs(runs, lastPage);
    const QString allCaption = paged->caption();
    // The slowest page to reach: the middle one, half the table away from either end.
    const double allMiddle = bench::medianMs(runs, [&] {
        paged->setCurrentPage(1);
        pages->setText(QString::number(paged->pageCount() / 2));
        QTest::keyClick(pages, Qt::Key_Return);
    });

    const QString number =
        QStringLiteral("+9198") + QStringLiteral("%1").arg((500000LL * 7919) % 100000000, 8, 10, QLatin1Char('0'));
    auto searchFor = [&](const QString &text) {
        return bench::medianMs(runs, [&] {
            paged->setCurrentPage(1);
            search->setText(text);
            QTest::keyClick(search, Qt::Key_Return);
        });
    };
    const double byNumber = searchFor(number);
    const int found = window->findChild<QTreeWidget *>(QStringLiteral("ListMessage"))->topLevelItemCount();
    const double byDigits = searchFor(number.right(5));
    unread->click();
    const double byNumberUnread = searchFor(number);
    const double tree = bench::medianMs(runs, [&] { window->fillTreeView(); });

    // The sent items: 990,000 rows on PostgreSQL (the outbox is empty on SQLite).
    auto *folders = window->findChild<QTreeWidget *>(QStringLiteral("TreeView1"));
    search->clear();
    const double sentFirst = bench::medianMs(runs, [&] {
        paged->setCurrentPage(1);
        Q_EMIT folders->itemClicked(folders->topLevelItem(0)->child(2), 0);
    });
    const QString sentCaption = paged->caption();
    const double sentMiddle = bench::medianMs(runs, [&] {
        paged->setCurrentPage(1);
        pages->setText(QString::number(paged->pageCount() / 2));
        QTest::keyClick(pages, Qt::Key_Return);
    });

    // The home page runs its three counts every second.
    const QSqlDatabase db = conn.value()->db();
    const double countInbox = bench::medianMs(runs, [&] { InboxRepository(db).countUnread(); });
    const double countOutbox = bench::medianMs(runs, [&] { OutboxRepository(db).countUndelivered(); });
    const double countCalls = bench::medianMs(runs, [&] { CallRepository(db).countMissedOn(QDate::currentDate()); });

    std::printf("median of %d runs, ms:\n", runs);
    std::printf("  open the message box on the inbox (tree + unread page 1)  %8.1f\n", open);
    std::printf("  last page of the unread messages (%s)  %8.1f\n", qPrintable(unreadCaption), lastUnread);
    std::printf("  All SMS, page 1                                        %8.1f\n", allFirst);
    std::printf("  All SMS, last page (%s)  %8.1f\n", qPrintable(allCaption), allLast);
    std::printf("  All SMS, middle page                                      %8.1f\n", allMiddle);
    std::printf("  search by a 13-character number (%d found)                 %8.1f\n", found, byNumber);
    std::printf("  search by its last 5 digits (a contains match)            %8.1f\n", byDigits);
    std::printf("  search by number with All Unread                          %8.1f\n", byNumberUnread);
    std::printf("  Sent Items, page 1 (%s)  %8.1f\n", qPrintable(sentCaption), sentFirst);
    std::printf("  Sent Items, middle page                                   %8.1f\n", sentMiddle);
    std::printf("  rebuild the folder tree                                   %8.1f\n", tree);
    std::printf("  home page count: unread inbox                             %8.2f\n", countInbox);
    std::printf("  home page count: undelivered outbox                       %8.2f\n", countOutbox);
    std::printf("  home page count: missed calls today                       %8.2f\n", countCalls);
    window.reset();
    return 0;
}
