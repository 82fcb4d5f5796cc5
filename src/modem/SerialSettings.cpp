#include "modem/SerialSettings.h"

#include <QFileInfo>
#include <QStringList>

namespace parlix {

Result<SerialSettings> parseSerialSettings(const QString &text)
{
    const QStringList fields = text.split(QLatin1Char(','));
    auto bad = [&text](const QString &what) {
        return Result<SerialSettings>::failure(
            QStringLiteral("The port settings '%1' are not valid: %2.").arg(text.trimmed(), what));
    };
    if (fields.size() != 4)
        return bad(QStringLiteral("expected speed, parity, data bits and stop bits"));

    SerialSettings s;
    bool ok = false;
    s.baudRate = fields[0].trimmed().toInt(&ok);
    if (!ok || s.baudRate <= 0)
        return bad(QStringLiteral("the speed"));

    const QString parity = fields[1].trimmed().toLower();
    if (parity == QLatin1String("n"))
        s.parity = QSerialPort::NoParity;
    else if (parity == QLatin1String("e"))
        s.parity = QSerialPort::EvenParity;
    else if (parity == QLatin1String("o"))
        s.parity = QSerialPort::OddParity;
    else if (parity == QLatin1String("m"))
        s.parity = QSerialPort::MarkParity;
    else if (parity == QLatin1String("s"))
        s.parity = QSerialPort::SpaceParity;
    else
        return bad(QStringLiteral("the parity"));

    const int dataBits = fields[2].trimmed().toInt(&ok);
    if (!ok || dataBits < 5 || dataBits > 8)
        return bad(QStringLiteral("the data bits"));
    s.dataBits = static_cast<QSerialPort::DataBits>(dataBits);

    const QString stop = fields[3].trimmed();
    if (stop == QLatin1String("1"))
        s.stopBits = QSerialPort::OneStop;
    else if (stop == QLatin1String("1.5"))
        s.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == QLatin1String("2"))
        s.stopBits = QSerialPort::TwoStop;
    else
        return bad(QStringLiteral("the stop bits"));
    return s;
}

QString serialPortSystemName(const QString &stored)
{
    const QString name = stored.trimmed();
    bool isNumber = false;
    const int n = name.toInt(&isNumber);
    if (!isNumber || n < 1)
        return name;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
}

bool isPseudoTerminal(const QString &systemName)
{
    const QString target = QFileInfo(systemName).canonicalFilePath();
    return target.startsWith(QLatin1String("/dev/pts/")) || target.startsWith(QLatin1String("/dev/pty"));
}

} // namespace parlix
