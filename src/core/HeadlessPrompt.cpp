#include "core/HeadlessPrompt.h"

#include "core/ActivityLog.h"

namespace parlix {

bool HeadlessPrompt::ask(const Request &request)
{
    QString text = request.text;
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (request.buttons == Buttons::YesNo) {
        m_log.WriteActivityLog(text + QStringLiteral(" (answered No: no operator in headless mode)"));
        return false;
    }
    const QString mark = request.icon == Icon::Critical  ? QStringLiteral("**ERROR** ")
                         : request.icon == Icon::Warning ? QStringLiteral("**WARNING** ")
                                                         : QString();
    m_log.WriteActivityLog(mark + text);
    return true;
}

} // namespace parlix
