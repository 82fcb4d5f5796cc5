#include "app/CliPrompt.h"

#include "app/Command.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace parlix {

void printLine(FILE *to, const QString &text)
{
    const QByteArray bytes = (text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    std::fflush(to);
}

bool CliPrompt::ask(const Request &request)
{
    if (request.buttons == Buttons::Ok) {
        printLine(request.icon == Icon::Information ? stdout : stderr, request.text);
        return true;
    }
    if (::isatty(STDIN_FILENO) == 0) {
        printLine(stderr, request.text);
        printLine(stderr, m_yes ? QStringLiteral("Answered Yes (--yes).")
                                : QStringLiteral("Answered No: no terminal to ask on (--yes answers Yes)."));
        return m_yes;
    }
    const QByteArray prompt = (request.text + QStringLiteral(" [y/N] ")).toLocal8Bit();
    std::fwrite(prompt.constData(), 1, size_t(prompt.size()), stdout);
    std::fflush(stdout);
    std::string answer;
    std::getline(std::cin, answer);
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

} // namespace parlix
