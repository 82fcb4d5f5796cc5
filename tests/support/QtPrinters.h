#pragma once

#include <QString>
#include <QStringList>

#include <ostream>

// Readable gtest failure messages for Qt texts (found by argument-dependent lookup): line
// breaks and other control characters are spelled out, as modem replies are full of them.
inline void PrintTo(const QString &text, std::ostream *os)
{
    QString shown;
    for (const QChar c : text) {
        if (c == QLatin1Char('\r'))
            shown += QStringLiteral("<CR>");
        else if (c == QLatin1Char('\n'))
            shown += QStringLiteral("<LF>");
        else if (c.unicode() < 0x20)
            shown += QStringLiteral("<%1>").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    *os << '"' << shown.toStdString() << '"';
}

inline void PrintTo(const QStringList &texts, std::ostream *os)
{
    *os << '[';
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (i > 0)
            *os << ", ";
        PrintTo(texts.at(i), os);
    }
    *os << ']';
}
