#pragma once

#include <QString>

namespace parlix {

inline const QString &appTitle()
{
    static const QString title = QStringLiteral("Kovax - Parlix");
    return title;
}

// How the core talks to the operator. The GUI shows message boxes, headless mode writes
// log lines and answers every question No, tests script the answers and record the texts.
class Prompt
{
public:
    enum class Icon { None, Information, Warning, Critical, Question };
    enum class Buttons { Ok, YesNo };

    struct Request
    {
        QString text;
        QString title = appTitle();
        Icon icon = Icon::Information;
        Buttons buttons = Buttons::Ok;
        // A message normally lets its caller go on at once; with this set the caller waits
        // until the operator has closed it (a caller that keeps one notice at a time).
        bool waitForClose = false;
    };

    virtual ~Prompt() = default;

    // Shows the request and returns true for Yes (or OK). May be called from any thread:
    // implementations that need the GUI thread hand the request over and wait for the answer.
    virtual bool ask(const Request &request) = 0;

    void inform(const QString &text, Icon icon = Icon::Information, const QString &title = appTitle())
    {
        ask({text, title, icon, Buttons::Ok});
    }
    bool question(const QString &text, Icon icon = Icon::Question, const QString &title = appTitle())
    {
        return ask({text, title, icon, Buttons::YesNo});
    }
};

} // namespace parlix
