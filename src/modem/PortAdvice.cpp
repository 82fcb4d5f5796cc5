#include "modem/PortAdvice.h"

#include <QFileInfo>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace parlix {

namespace {

QString currentUserName()
{
    if (const passwd *pw = ::getpwuid(::geteuid()); pw != nullptr)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

} // namespace

PortTrouble portTroubleOf(const QString &portName, QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return PortTrouble::None;
    const bool isPath = portName.startsWith(QLatin1Char('/'));
    if (error == QSerialPort::DeviceNotFoundError || (isPath && !QFileInfo::exists(portName)))
        return PortTrouble::Missing;
    if (error == QSerialPort::PermissionError || error == QSerialPort::OpenError ||
        error == QSerialPort::ResourceError) {
        // A device we may read and write that still does not open is held by someone else
        // (its lock file, or an exclusive open).
        if (isPath && ::access(QFile::encodeName(portName).constData(), R_OK | W_OK) != 0)
            return PortTrouble::NoPermission;
        return PortTrouble::Busy;
    }
    return PortTrouble::Other;
}

QString portTroubleText(const QString &portName, PortTrouble trouble, const QString &qtText)
{
    switch (trouble) {
    case PortTrouble::None:
        return {};
    case PortTrouble::Missing:
        return QStringLiteral("The port %1 is not present: check that the modem is plugged in and switched on, "
                              "or choose its port in the settings.")
            .arg(portName);
    case PortTrouble::NoPermission: {
        QString group = QFileInfo(portName).group();
        if (group.isEmpty())
            group = QStringLiteral("dialout");
        const QString user = currentUserName();
        return QStringLiteral("The port %1 cannot be opened: permission denied. The user %2 is not in the group "
                              "%3 that owns the device (or has not logged in again since joining it); add it with "
                              "\"sudo usermod -aG %3 %2\" and log in again.")
            .arg(portName, user, group);
    }
    case PortTrouble::Busy:
        return QStringLiteral("The port %1 is held by another program (a terminal program, ModemManager or another "
                              "Parlix); close that program or free the port, then connect again.")
            .arg(portName);
    case PortTrouble::Other:
        break;
    }
    return QStringLiteral("The port %1 cannot be opened: %2").arg(portName, qtText);
}

PortTrouble probePort(const QString &portName, QString *qtText)
{
    QSerialPort probe(portName);
    if (probe.open(QIODevice::ReadWrite)) {
        probe.close();
        return PortTrouble::None;
    }
    if (qtText != nullptr)
        *qtText = probe.errorString();
    return portTroubleOf(portName, probe.error());
}

} // namespace parlix
