// parlix-modemsim: a GSM modem on a pseudo-terminal, steered from standard input.

#include "ModemSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <iostream>
#include <string>

using parlix::sim::ModemSimulator;

namespace {

const char *const kControlHelp = R"(Control lines on standard input (one per line):
  sms NUMBER TEXT...            an SMS arrives (REC UNREAD)
  store STATUS NUMBER TEXT...   put a message on the SIM; STATUS is rec-unread,
                                rec-read, sto-unsent or sto-sent
  ring NUMBER                   RING (and +CLIP when AT+CLIP=1); repeat for more rings
  state STATE                   call state for AT+CLCC: active, held, dialing,
                                alerting, incoming, waiting
  hangup [quiet]                the call ends (NO CARRIER unless quiet)
  clcc                          push the call as an unsolicited +CLCC line
  latency MS                    delay before every answer
  latency COMMAND MS            delay for one command, e.g. latency AT+CMGL 300
  bodylatency MS                delay of the network send (AT+CMGS body, AT+CMSS)
  fail COMMAND KIND [TIMES]     inject a fault into the next answers to COMMAND
                                (e.g. AT+CMGS, ATE0, or BODY for message bodies);
                                KIND: error, cms CODE, silence, garbage, unplug;
                                TIMES defaults to 1, -1 means until clearfaults
  clearfaults                   remove every injected fault
  echo on|off                   command echo
  unplug                        the device disappears
  replug                        the device comes back (same path with --link)
  list                          the messages on the SIM
  sent                          the messages sent so far
  log                           the command lines received so far
  raw TEXT                      send TEXT to the program (\r and \n are understood)
  quit                          end the simulator
)";

ModemSimulator::CallState stateFromName(const QString &name, bool *ok)
{
    static const QStringList names = {QStringLiteral("active"),   QStringLiteral("held"),
                                      QStringLiteral("dialing"),  QStringLiteral("alerting"),
                                      QStringLiteral("incoming"), QStringLiteral("waiting")};
    const auto at = names.indexOf(name.toLower());
    *ok = at >= 0;
    return static_cast<ModemSimulator::CallState>(std::max<qsizetype>(at, 0));
}

void say(const QString &text)
{
    std::cout << text.toStdString() << std::endl;
}

// Runs one control line; false to quit.
bool control(ModemSimulator &modem, const QString &input)
{
    const QStringList words = input.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return true;
    const QString verb = words[0].toLower();
    auto restFrom = [&](int n) { return words.mid(n).join(QLatin1Char(' ')); };
    bool ok = true;

    if (verb == QLatin1String("quit") || verb == QLatin1String("exit")) {
        return false;
    } else if (verb == QLatin1String("sms") && words.size() >= 3) {
        say(QStringLiteral("stored at %1").arg(modem.receiveSms(words[1], restFrom(2))));
    } else if (verb == QLatin1String("store") && words.size() >= 4) {
        const QString status = words[1].toUpper().replace(QLatin1Char('-'), QLatin1Char(' '));
        say(QStringLiteral("stored at %1").arg(modem.addMessage(status, words[2], restFrom(3))));
    } else if (verb == QLatin1String("ring") && words.size() == 2) {
        modem.ring(words[1]);
    } else if (verb == QLatin1String("state") && words.size() == 2) {
        const auto state = stateFromName(words[1], &ok);
        if (ok)
            modem.setCallState(state);
    } else if (verb == QLatin1String("hangup")) {
        modem.endCall(words.value(1) != QLatin1String("quiet"));
    } else if (verb == QLatin1String("clcc")) {
        modem.pushCallList();
    } else if (verb == QLatin1String("latency") && words.size() == 2) {
        modem.setLatency(words[1].toInt(&ok));
    } else if (verb == QLatin1String("latency") && words.size() == 3) {
        modem.setCommandLatency(words[1], words[2].toInt(&ok));
    } else if (verb == QLatin1String("bodylatency") && words.size() == 2) {
        modem.setBodyLatency(words[1].toInt(&ok));
    } else if (verb == QLatin1String("fail") && words.size() >= 3) {
        ModemSimulator::Fault fault;
        const QString kind = words[2].toLower();
        int next = 3;
        if (kind == QLatin1String("error")) {
            fault.kind = ModemSimulator::Fault::Error;
        } else if (kind == QLatin1String("cms") && words.size() >= 4) {
            fault.kind = ModemSimulator::Fault::CmsError;
            fault.code = words[3].toInt(&ok);
            next = 4;
        } else if (kind == QLatin1String("silence")) {
            fault.kind = ModemSimulator::Fault::Silence;
        } else if (kind == QLatin1String("garbage")) {
            fault.kind = ModemSimulator::Fault::Garbage;
        } else if (kind == QLatin1String("unplug")) {
            fault.kind = ModemSimulator::Fault::Unplug;
        } else {
            ok = false;
        }
        const int times = words.size() > next ? words[next].toInt() : 1;
        if (ok)
            modem.failNext(words[1], fault, times);
    } else if (verb == QLatin1String("clearfaults")) {
        modem.clearFaults();
    } else if (verb == QLatin1String("echo") && words.size() == 2) {
        modem.setEcho(words[1].toLower() == QLatin1String("on"));
    } else if (verb == QLatin1String("unplug")) {
        modem.unplug();
    } else if (verb == QLatin1String("replug")) {
        QString error;
        if (modem.replug(&error))
            say(modem.devicePath());
        else
            say(QStringLiteral("replug failed: ") + error);
    } else if (verb == QLatin1String("list")) {
        for (const auto &m : modem.messages())
            say(QStringLiteral("%1 \"%2\" %3 %4").arg(m.index).arg(m.status, m.number, m.text));
    } else if (verb == QLatin1String("sent")) {
        for (const auto &m : modem.sentMessages())
            say(QStringLiteral("%1 %2 #%3 %4").arg(m.via, m.number).arg(m.reference).arg(m.text));
    } else if (verb == QLatin1String("log")) {
        for (const auto &c : modem.commands())
            say(c);
    } else if (verb == QLatin1String("raw") && words.size() >= 2) {
        QString text = input.mid(input.indexOf(QLatin1String("raw")) + 4);
        text.replace(QLatin1String("\\r"), QLatin1String("\r")).replace(QLatin1String("\\n"), QLatin1String("\n"));
        modem.sendRaw(text.toLatin1());
    } else {
        ok = false;
    }
    if (!ok)
        say(QStringLiteral("? ") + input + QStringLiteral(" (see --help)"));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parlix-modemsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A GSM modem in text mode on a pseudo-terminal. Prints the device path to open, then "
                       "takes control lines on standard input.\n\n") +
        QString::fromLatin1(kControlHelp));
    parser.addHelpOption();
    QCommandLineOption link(QStringLiteral("link"),
                            QStringLiteral("Serve through a symlink at PATH, kept across "
                                           "unplug/replug."),
                            QStringLiteral("PATH"));
    QCommandLineOption latency(QStringLiteral("latency"), QStringLiteral("Delay before every answer."),
                               QStringLiteral("MS"), QStringLiteral("0"));
    QCommandLineOption bodyLatency(QStringLiteral("body-latency"),
                                   QStringLiteral("Delay of the network send (AT+CMGS body, AT+CMSS)."),
                                   QStringLiteral("MS"));
    QCommandLineOption noEcho(QStringLiteral("no-echo"), QStringLiteral("Start with command echo off."));
    QCommandLineOption manufacturer(QStringLiteral("manufacturer"), QStringLiteral("Answer to AT+CGMI."),
                                    QStringLiteral("TEXT"));
    QCommandLineOption model(QStringLiteral("model"), QStringLiteral("Answer to AT+CGMM."), QStringLiteral("TEXT"));
    parser.addOptions({link, latency, bodyLatency, noEcho, manufacturer, model});
    parser.process(app);

    ModemSimulator::Options options;
    options.linkPath = parser.value(link);
    if (parser.isSet(manufacturer))
        options.manufacturer = parser.value(manufacturer);
    if (parser.isSet(model))
        options.model = parser.value(model);
    ModemSimulator modem(options);
    QString error;
    if (!modem.start(&error)) {
        std::cerr << "parlix-modemsim: " << error.toStdString() << std::endl;
        return 1;
    }
    modem.setLatency(parser.value(latency).toInt());
    if (parser.isSet(bodyLatency))
        modem.setBodyLatency(parser.value(bodyLatency).toInt());
    if (parser.isSet(noEcho))
        modem.setEcho(false);

    say(modem.devicePath());
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!control(modem, QString::fromStdString(line).trimmed()))
            break;
    }
    modem.stop();
    return 0;
}
