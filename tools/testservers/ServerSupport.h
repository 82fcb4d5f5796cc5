#pragma once

#include "core/Result.h"

#include <QFile>
#include <QHostAddress>
#include <QTcpServer>

#include <pwd.h>
#include <unistd.h>

namespace parlix::test {

// Servers refuse to run as root (initdb) or drop to an unprivileged user (dovecot): as root,
// the tests hand the servers' folders and files to this user.
inline constexpr const char *kServerUser = "nobody";

inline bool runningAsRoot()
{
    return ::geteuid() == 0;
}

// Gives path to kServerUser when running as root; otherwise there is nothing to hand over.
inline Status handToServerUser(const QString &path)
{
    if (!runningAsRoot())
        return Status::success();
    const struct passwd *pw = ::getpwnam(kServerUser);
    if (!pw)
        return Status::failure(QStringLiteral("there is no user %1 to run the server as").arg(kServerUser));
    if (::chown(QFile::encodeName(path).constData(), pw->pw_uid, pw->pw_gid) != 0)
        return Status::failure(QStringLiteral("%1 cannot be handed to %2").arg(path, kServerUser));
    return Status::success();
}

// A loopback port nothing listens on right now; 0 when none could be found.
inline int freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

} // namespace parlix::test
