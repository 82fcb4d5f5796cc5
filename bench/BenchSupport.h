#pragma once

// Pieces every benchmark shares: median timing and building a year of realistic history.
#include "core/Prompt.h"
#include "store/Query.h"

#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace parlix::bench {

// Nobody is there to answer: every question is answered No, as headless does.
class NoPrompt final : public Prompt
{
public:
    bool ask(const Request &) override { return false; }
};

// CPU time of the calling thread so far, in milliseconds.
inline double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Median wall time of fn over runs, in milliseconds.
template <typename Fn> double medianMs(int runs, Fn &&fn)
{
    std::vector<qint64> samples;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        fn();
        samples.push_back(t.nsecsElapsed());
    }
    std::sort(samples.begin(), samples.end());
    return double(samples[samples.size() / 2]) / 1e6;
}

// Runs each statement, binding values to those that hold a '?'. Prints the first failure.
inline bool runAll(const QSqlDatabase &db, const QStringList &statements, const QVariantList &values = {})
{
    for (const QString &s : statements) {
        auto r = sql::run(db, s, s.contains(QLatin1Char('?')) ? values : QVariantList{});
        if (!r) {
            std::fprintf(stderr, "fill failed: %s\n", qPrintable(r.error()));
            return false;
        }
    }
    return true;
}

// A million inbox rows over the past year, one every ~31 s, one in every `?` (bound) unread.
inline QString inboxYearSql()
{
    return QStringLiteral("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM n WHERE x<1000000) "
                          "INSERT INTO Message_InBox (SenderMobileNo,SenderId,Message,InboxDateTime,IsRead) "
                          "SELECT '+9198' || printf('%08d', (x * 7919) % 100000000), 0, "
                          "'Order ' || x || ' confirmed, thank you for shopping with us. Reply STOP to opt out.', "
                          "strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime', '-' || ((1000000-x)*31) || ' seconds'), "
                          "CASE WHEN x % ? = 0 THEN 0 ELSE 1 END FROM n");
}

} // namespace parlix::bench
