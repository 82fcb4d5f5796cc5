#pragma once

#include "core/Result.h"

#include <QSerialPort>
#include <QString>

namespace parlix {

// The line settings of the serial port, from a settings text such as "115200,n,8,1".
struct SerialSettings
{
    qint32 baudRate = 115200;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// Bits per second, parity letter (n, e, o, m, s in either case), data bits (5 to 8) and stop
// bits (1, 1.5, 2), separated by commas; blanks around the fields are ignored. A failure names
// the field that is wrong.
Result<SerialSettings> parseSerialSettings(const QString &text);

// The system's name of a stored port: a device path or name is kept (trimmed); a bare number
// n is COMn on Windows and /dev/ttyS(n-1) elsewhere.
QString serialPortSystemName(const QString &stored);

// Whether the port is a pseudo-terminal (the simulator and socat pairs), which has no modem
// control lines to set.
bool isPseudoTerminal(const QString &systemName);

} // namespace parlix
