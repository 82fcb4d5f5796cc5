#include "core/ActivityLog.h"
#include "core/HeadlessPrompt.h"
#include "core/Sound.h"
#include "support/ManualClock.h"

#include <QFile>
#include <QThread>

#include <algorithm>
#include <thread>

#include <gtest/gtest.h>

using namespace parlix;
using parlix::test::ManualClock;

namespace {

const QString kStamp = QStringLiteral("[12/5/2026 5:11:00 AM] : ");

// Fills the log to exactly `length` characters with one line.
void fillTo(ActivityLog &log, int length)
{
    const int overhead = int(kStamp.size()) + 2;
    log.WriteActivityLog(QString(length - overhead, QLatin1Char('a')));
    ASSERT_EQ(log.text().size(), length);
}

} // namespace

TEST(ActivityLog, LinesAreStampedNewestFirstAndDroppedWhileStopped)
{
    ManualClock clock;
    ActivityLog log(clock);
    log.WriteActivityLog("first");
    clock.advanceSecs(61);
    log.WriteActivityLog("");
    EXPECT_EQ(log.text(), "[12/5/2026 5:12:01 AM] : \r\n" + kStamp + "first\r\n");

    clock.set(QDateTime(QDate(2026, 1, 9), QTime(17, 5, 9)));
    log.clear();
    log.WriteActivityLog("x");
    EXPECT_EQ(log.text(), "[1/9/2026 5:05:09 PM] : x\r\n");

    // Stopped, the log drops lines, and clearing it keeps it stopped.
    log.setEnabled(false);
    log.WriteActivityLog("lost");
    log.clear();
    EXPECT_FALSE(log.isEnabled());
    log.WriteActivityLog("still lost");
    EXPECT_TRUE(log.text().isEmpty());
    log.setEnabled(true);
    log.WriteActivityLog("back");
    EXPECT_EQ(log.text(), "[1/9/2026 5:05:09 PM] : back\r\n");
}

TEST(ActivityLog, TrimsOnlyAbove12000AndKeepsTheNewest2000)
{
    ManualClock clock;
    const QString notice = kStamp + "**NOTICE** Removing old entries from the activity log.\r\n";
    {
        ActivityLog log(clock);
        fillTo(log, 12000 - 27);
        log.WriteActivityLog(""); // an empty line is 27 characters: exactly 12000, no trim
        EXPECT_EQ(log.text().size(), 12000);
        EXPECT_FALSE(log.text().contains("NOTICE"));
    }
    {
        ActivityLog log(clock);
        fillTo(log, 12000 - 26);
        log.WriteActivityLog(""); // 12001: trimmed
        const QString text = log.text();
        ASSERT_TRUE(text.startsWith(notice));
        EXPECT_EQ(text.size(), notice.size() + 2000);
        EXPECT_TRUE(text.mid(notice.size()).startsWith(kStamp + "\r\n" + kStamp + "aaa"));
    }
}

TEST(ActivityLog, LinesOfOneThreadKeepTheirOrderWhileOthersWrite)
{
    ManualClock clock;
    ActivityLog log(clock);
    auto writer = [&log](const QString &tag) {
        for (int i = 0; i < 200; ++i)
            log.WriteActivityLog(QStringLiteral("%1 %2").arg(tag).arg(i, 3, 10, QLatin1Char('0')));
    };
    std::thread a(writer, QStringLiteral("A")), b(writer, QStringLiteral("B"));
    a.join();
    b.join();
    // Newest first: within one thread, numbers must fall from the top down.
    for (const QString &tag : {QStringLiteral("A"), QStringLiteral("B")}) {
        QList<int> numbers;
        for (const QString &line : log.text().split("\r\n").filter(kStamp + tag + ' '))
            numbers << line.mid(kStamp.size() + 2).toInt();
        EXPECT_EQ(std::adjacent_find(numbers.begin(), numbers.end(), std::less_equal<>()), numbers.end())
            << tag.toStdString();
    }
}

TEST(HeadlessPrompt, MessagesBecomeLogLinesAndQuestionsAreAnsweredNo)
{
    ManualClock clock;
    ActivityLog log(clock);
    HeadlessPrompt prompt(log);
    EXPECT_FALSE(prompt.question("No modem found.\r\nOpen settings?"));
    prompt.inform("Port busy", Prompt::Icon::Critical);
    const QString text = log.text();
    EXPECT_TRUE(text.contains("**ERROR** Port busy"));
    EXPECT_TRUE(text.contains("No modem found. Open settings? (answered No"));
}

TEST(PlaySoundFile, ShipsItsSoundsAndAMissingFileOrDevicePlaysNothing)
{
    EXPECT_FALSE(PlaySoundFile(QStringLiteral("/nonexistent/ringing.wav"), true));
    EXPECT_FALSE(PlaySoundFile(QString(), false));
    for (const char *name : {"ringing.wav", "SMSNotify.wav"}) {
        QFile sound(shippedSound(QLatin1String(name)));
        ASSERT_TRUE(sound.open(QIODevice::ReadOnly)) << name;
        const QByteArray head = sound.read(12);
        EXPECT_TRUE(head.startsWith("RIFF") && head.endsWith("WAVE")) << name;
    }
}
