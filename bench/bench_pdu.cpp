// What the PDU codec costs: encode and decode of 100,000 SMS-SUBMITs of mixed texts (GSM 7-bit,
// the extension table, UCS-2 with emoji, parts of long texts), then decoding them back.
//
//   build-*/bin/bench_pdu [count]

#include "modem/Pdu.h"

#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>

using namespace parlix::pdu;

int main(int argc, char **argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const QString texts[] = {
        QStringLiteral("Your order 4711 has been dispatched and will arrive tomorrow."),
        QStringLiteral("Price: 25€ [incl. VAT] ~ reply {YES} or {NO}"),
        QStringLiteral("Привет! Встреча в 15:00 😀"),
        QString(400, QLatin1Char('g')),
        QString(150, QChar(0x015F)),
    };
    QList<SubmitPdu> submits;
    SubmitPdu base;
    base.destination.number = QStringLiteral("+447700900123");
    base.statusReportRequest = true;
    for (const QString &t : texts)
        submits += *submitsForText(base, t, 42);

    QList<QByteArray> hexes;
    hexes.reserve(count);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i)
        hexes.append(encodeSubmit(submits[i % submits.size()])->hex);
    const double encodeNs = double(timer.nsecsElapsed());
    timer.restart();
    qsizetype chars = 0;
    for (const QByteArray &hex : hexes)
        chars += std::get<SubmitPdu>(decodePdu(hex).value()).text.size();
    const double decodeNs = double(timer.nsecsElapsed());

    std::printf("%d PDUs (%lld characters decoded)\n", count, static_cast<long long>(chars));
    std::printf("encode          %.2f us/PDU\n", encodeNs / count / 1e3);
    std::printf("decode          %.2f us/PDU\n", decodeNs / count / 1e3);
    std::printf("encode + decode %.2f us/PDU\n", (encodeNs + decodeNs) / count / 1e3);
    return 0;
}
