// parlix-modemsim: a GSM modem on a pseudo-terminal, steered from standard input.

#include "ModemSimulator.h"
#include "modem/Pdu.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <iostream>
#include <string>

using parlix::sim::ModemSimulator;

namespace {

const char *const kControlHelp = R"(Control lines on standard input (one per line):
  sms NUMBER TEXT...            an SMS arrives (REC UNREAD); in PDU mode it is listed
                                as an SMS-DELIVER (UCS-2 when the text needs it)
  sms-long NUMBER REF PARTS TEXT...
                                a long SMS arrives as linked parts with reference REF;
                                PARTS: all, reverse, or which parts in order, e.g. 3,1
  sms-pdu HEX                   a raw PDU (service centre field first) arrives as is
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
  fail COMMAND KIND [TIMES [AFTER]]
                                inject a fault into the next answers to COMMAND
                                (e.g. AT+CMGS, ATE0, or BODY for message bodies);
                                KIND: error, cms CODE, silence, garbage, unplug;
                                TIMES defaults to 1, -1 means until clearfaults;
                                AFTER answers pass first (fail BODY cms 500 1 1 fails
                                the second SMS or part sent)
  clearfaults                   remove every injected fault
  chunks MS                     listings go out record by record, each record cut
                                in two, MS apart (0: in one piece)
  noise LINE...                 an ASCII line (e.g. ^BOOT:1,0,0,0,6 or ^RSSI:14 or
                                +CREG: 1) pushed inside answers, call lists and
                                between listed records; "noise off" stops it
  strictdelete on|off           AT+CMGD of an empty slot answers +CMS ERROR: 321
  strictprompt on|off           a body sent before the "> " prompt is ignored
  capacity N                    SIM slots; a store on a full SIM gets +CMS ERROR: 322
  charsets NAME,...             the sets AT+CSCS accepts (default GSM,IRA,ASCII,UCS2);
                                any other, e.g. ANSI, gets +CME ERROR: 4
  echo on|off                   command echo
  pdumode on|off                whether AT+CMGF=0 (PDU mode) is accepted
  report STATUS                 TP-Status of the status reports for sent SMS whose
                                report bit is set (0 delivered, 64 failed, ...); they
                                come as +CDS after AT+CNMI=...,1 or are stored on the SIM
  unplug                        the device disappears
  replug                        the device comes back (same path with --link)
  list                          the messages on the SIM
  sent                          the messages (and parts) sent so far
  joined                        the same with the parts of each long SMS joined
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
    } else if (verb == QLatin1String("sms-long") && words.size() >= 5) {
        QList<int> parts;
        const QString order = words[3].toLower();
        if (order == QLatin1String("reverse")) {
            const int n = int(parlix::pdu::splitText(restFrom(4)).parts.size());
            for (int k = n; k >= 1; --k)
                parts << k;
        } else if (order != QLatin1String("all")) {
            for (const QString &k : order.split(QLatin1Char(',')))
                parts << k.toInt(&ok);
        }
        if (ok) {
            const auto at = modem.receiveConcatenatedSms(words[1], restFrom(4), words[2].toInt(&ok), parts);
            QStringList shown;
            for (const int i : at)
                shown << QString::number(i);
            say(QStringLiteral("stored at %1").arg(shown.join(QLatin1Char(','))));
        }
    } else if (verb == QLatin1String("sms-pdu") && words.size() == 2) {
        say(QStringLiteral("stored at %1").arg(modem.receivePdu(words[1].toLatin1())));
    } else if (verb == QLatin1String("pdumode") && words.size() == 2) {
        modem.setPduModeSupported(words[1].toLower() == QLatin1String("on"));
    } else if (verb == QLatin1String("report") && words.size() == 2) {
        modem.setReportStatus(words[1].toInt(&ok));
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
        const int after = words.size() > next + 1 ? words[next + 1].toInt() : 0;
        if (ok)
            modem.failNext(words[1], fault, times, after);
    } else if (verb == QLatin1String("chunks") && words.size() == 2) {
        modem.setListChunkDelay(words[1].toInt(&ok));
    } else if (verb == QLatin1String("noise") && words.size() >= 2) {
        modem.setNoise(words[1].toLower() == QLatin1String("off") ? QByteArray() : restFrom(1).toLatin1());
    } else if (verb == QLatin1String("strictdelete") && words.size() == 2) {
        modem.setStrictDelete(words[1].toLower() == QLatin1String("on"));
    } else if (verb == QLatin1String("strictprompt") && words.size() == 2) {
        modem.setStrictPrompt(words[1].toLower() == QLatin1String("on"));
    } else if (verb == QLatin1String("capacity") && words.size() == 2) {
        modem.setCapacity(words[1].toInt(&ok));
    } else if (verb == QLatin1String("charsets") && words.size() == 2) {
        modem.setSupportedCharsets(words[1].toUpper().split(QLatin1Char(',')));
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
        for (const auto &m : modem.sentMessages()) {
            const QString part =
                m.partReference < 0
                    ? QString()
                    : QStringLiteral(" [ref %1 part %2/%3]").arg(m.partReference).arg(m.partNumber).arg(m.partCount);
            say(QStringLiteral("%1 %2 #%3%4 %5").arg(m.via, m.number).arg(m.reference).arg(part, m.text));
        }
    } else if (verb == QLatin1String("joined")) {
        for (const auto &m : modem.sentTexts())
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
        QStringLiteral("A GSM modem in text or PDU mode on a pseudo-terminal. Prints the device path to open, then "
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
