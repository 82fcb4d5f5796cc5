#pragma once

#include <QSerialPort>
#include <QString>

namespace parlix {

// Why a serial port could not be opened, in words the operator can act on: the device is not
// there, the user may not open it (and which group to join), or another program holds it.
enum class PortTrouble { None, Missing, NoPermission, Busy, Other };

// Sorts an open failure: Qt reports a port locked by another program and a port the user may
// not open alike, so the device's own permissions decide between the two.
PortTrouble portTroubleOf(const QString &portName, QSerialPort::SerialPortError error);
// The sentence for it; qtText is Qt's own description, kept for the failures we cannot sort.
QString portTroubleText(const QString &portName, PortTrouble trouble, const QString &qtText);

// Opens the port and closes it again at once, and says why it cannot be opened (None when it can).
PortTrouble probePort(const QString &portName, QString *qtText = nullptr);

} // namespace parlix
