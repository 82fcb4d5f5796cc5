#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <utility>

namespace parlix {

// What a command word is given: the database it works on, the words after it, and the parsed
// options (its own among them).
struct CommandLine
{
    QString databasePath;
    QStringList arguments;
    const QCommandLineParser &parser;
};

// One word of `parlix WORD …`: its lines in --help (usage, what it does), its options, and
// what runs it (returns the exit status). The commands never open windows.
struct Command
{
    QString word;
    QList<std::pair<QString, QString>> help;
    QList<QCommandLineOption> options;
    int (*run)(const CommandLine &);
};

// Writes a line to standard output or error at once (commands talk to a terminal or a script).
void printLine(FILE *to, const QString &text);

} // namespace parlix
