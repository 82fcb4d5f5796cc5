#include "config/Startup.h"

#include "core/ActivityLog.h"
#include "store/Query.h"
#include "store/SettingsRepository.h"

namespace parlix {

bool screenNeedsQuestion(const QSize &screen)
{
    return screen.width() < 1024 && screen.height() < 768;
}

QString screenQuestionText(const QSize &screen)
{
    const QString nl = QStringLiteral("\r\n");
    return QStringLiteral("Required Screen Resolution: 1024 x 768") + nl +
           QStringLiteral("Current Screen Resolution: ") + QString::number(qint16(screen.width())) +
           QStringLiteral(" x ") + QString::number(qint16(screen.height())) + nl + nl +
           QStringLiteral("This application requires 1024 x 768 screen resolution. Application may not be displyed "
                          "properly on your screen.") +
           nl + nl +
           QStringLiteral(" It is highly recommanded that you should increase the screen resolution to 1024 x 768.") +
           nl + nl + QStringLiteral(" Do you want to continue any way?");
}

Result<RuntimeSettings> loadSettingsAtStartup(const DbConnection &db, ActivityLog &log)
{
    SettingsRepository repo(db.db());
    SettingsRows rows;
    const auto fail = [](const QString &why) {
        return Result<RuntimeSettings>::failure(QStringLiteral("The settings cannot be loaded: ") + why);
    };

    log.WriteActivityLog(QStringLiteral("Initializing WebMail-To-SMS Properties."));
    auto pop3 = repo.pop3Settings();
    if (!pop3)
        return fail(pop3.error());
    rows.pop3 = pop3.value();

    log.WriteActivityLog(QStringLiteral("Initializing SMS Delivery Properties."));
    auto timer = repo.timerSettings();
    if (!timer)
        return fail(timer.error());
    rows.timer = timer.value();

    log.WriteActivityLog(QStringLiteral("Initializing AutoReply On MissedCall Properties."));
    auto missed = repo.activeMissedCallReply();
    if (!missed)
        return fail(missed.error());
    rows.missedCallActive = missed.value();
    auto modem = repo.modemSettings();
    if (!modem)
        return fail(modem.error());
    rows.modem = modem.value();

    log.WriteActivityLog(QStringLiteral("Initializing Timer Properties."));
    auto settings = loadRuntimeSettings(rows);
    if (!settings)
        return fail(settings.error());
    return settings;
}

} // namespace parlix
