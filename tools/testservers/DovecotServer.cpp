#include "testservers/DovecotServer.h"
#include "testservers/ServerSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <pwd.h>
#include <unistd.h>

namespace parlix::test {

namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

} // namespace

DovecotServer::DovecotServer()
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // Its own process group, so that stopping it reaches the login and mail processes too.
    m_process.setChildProcessModifier([] { ::setsid(); });
}

DovecotServer::~DovecotServer()
{
    stop();
}

Status DovecotServer::writeConfiguration()
{
    if (!m_dir.isValid())
        return Status::failure(QStringLiteral("no temporary folder for dovecot"));
    m_port = freeLoopbackPort();
    if (m_port == 0)
        return Status::failure(QStringLiteral("no free port on 127.0.0.1"));

    const QString base = m_dir.path();
    const QStringList folders = {QString(),
                                 QStringLiteral("home"),
                                 QStringLiteral("home/gw"),
                                 QStringLiteral("mail"),
                                 QStringLiteral("mail/gw"),
                                 QStringLiteral("mail/gw/new"),
                                 QStringLiteral("mail/gw/cur"),
                                 QStringLiteral("mail/gw/tmp")};
    for (const QString &folder : folders) {
        if (!QDir().mkpath(path(folder)) || !handToServerUser(path(folder)))
            return Status::failure(QStringLiteral("cannot prepare %1").arg(path(folder)));
    }

    QString user = QStringLiteral("nobody");
    QString group = QStringLiteral("nogroup");
    uid_t uid = kNobody;
    gid_t gid = kNoGroup;
    if (!runningAsRoot()) {
        uid = ::getuid();
        gid = ::getgid();
        const passwd *pw = ::getpwuid(uid);
        if (pw == nullptr)
            return Status::failure(QStringLiteral("the current user has no name"));
        user = QString::fromLocal8Bit(pw->pw_name);
        group.clear();
    }

    QFile users(path(QStringLiteral("users")));
    if (!users.open(QIODevice::WriteOnly))
        return Status::failure(QStringLiteral("cannot write the dovecot users file"));
    users.write(QStringLiteral("%1:{PLAIN}%2:%3:%4::%5::\n")
                    .arg(userName(), password())
                    .arg(uid)
                    .arg(gid)
                    .arg(path(QStringLiteral("home/gw")))
                    .toUtf8());
    users.close();

    QString conf = QStringLiteral(R"(base_dir = BASE/run
state_dir = BASE/state
log_path = BASE/dovecot.log
protocols = pop3
listen = 127.0.0.1
ssl = SSL
disable_plaintext_auth = no
auth_failure_delay = 0
auth_mechanisms = plain login
default_internal_user = USER
default_login_user = USER
mail_location = maildir:BASE/mail/%u
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u BASE/users
}
userdb {
  driver = passwd-file
  args = username_format=%u BASE/users
}
service pop3-login {
  chroot =
  inet_listener pop3 {
    address = 127.0.0.1
    port = PORT
  }
  inet_listener pop3s {
    port = 0
  }
}
service anvil {
  chroot =
}
)");
    if (!group.isEmpty())
        conf += QStringLiteral("default_internal_group = %1\n").arg(group);
    if (!m_caFile.isEmpty())
        conf += QStringLiteral("ssl_cert = <%1\nssl_key = <%2\n").arg(m_caFile, path(QStringLiteral("key.pem")));
    conf.replace(QLatin1String("SSL"), m_caFile.isEmpty() ? QStringLiteral("no") : QStringLiteral("yes"));
    conf.replace(QLatin1String("BASE"), base);
    conf.replace(QLatin1String("USER"), user);
    conf.replace(QLatin1String("PORT"), QString::number(m_port));
    QFile file(path(QStringLiteral("dovecot.conf")));
    if (!file.open(QIODevice::WriteOnly))
        return Status::failure(QStringLiteral("cannot write dovecot.conf"));
    file.write(conf.toUtf8());
    file.close();
    return handToServerUser(file.fileName());
}

Status DovecotServer::enableTls()
{
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"),
                   QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"),
                   path(QStringLiteral("key.pem")), QStringLiteral("-out"), path(QStringLiteral("cert.pem"))});
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0)
        return Status::failure(QStringLiteral("openssl cannot make a certificate (Debian package openssl): ") +
                               QString::fromLocal8Bit(openssl.readAll()).trimmed() + openssl.errorString());
    for (const char *file : {"key.pem", "cert.pem"}) {
        if (Status s = handToServerUser(path(QLatin1String(file))); !s)
            return s;
    }
    m_caFile = path(QStringLiteral("cert.pem"));
    return Status::success();
}

Status DovecotServer::start()
{
    if (m_process.state() != QProcess::NotRunning)
        return Status::success();
    if (m_port == 0) {
        if (Status s = writeConfiguration(); !s)
            return Status::failure(QStringLiteral("dovecot cannot be set up: ") + s.error);
    }
    const QString dovecot = QStandardPaths::findExecutable(
        QStringLiteral("dovecot"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
    if (dovecot.isEmpty())
        return Status::failure(QStringLiteral("dovecot is not installed (Debian package dovecot-pop3d)"));

    QStringList args = {QStringLiteral("-F"), QStringLiteral("-c"), path(QStringLiteral("dovecot.conf"))};
    if (runningAsRoot()) {
        args = QStringList{QStringLiteral("--reuid=%1").arg(kNobody), QStringLiteral("--regid=%1").arg(kNoGroup),
                           QStringLiteral("--clear-groups"), dovecot} +
               args;
        m_process.start(QStringLiteral("setpriv"), args);
    } else {
        m_process.start(dovecot, args);
    }
    if (!m_process.waitForStarted(5000))
        return Status::failure(QStringLiteral("dovecot cannot be started: ") + m_process.errorString());
    return waitUntilListening();
}

Status DovecotServer::waitUntilListening()
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        if (m_process.state() == QProcess::NotRunning) {
            QFile log(path(QStringLiteral("dovecot.log")));
            QString why = QString::fromLocal8Bit(m_process.readAll()).trimmed();
            if (log.open(QIODevice::ReadOnly))
                why += QLatin1Char(' ') + QString::fromLocal8Bit(log.readAll().right(800)).trimmed();
            return Status::failure(QStringLiteral("dovecot stopped at start-up: ") + why);
        }
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(m_port));
        if (probe.waitForConnected(200) && probe.waitForReadyRead(2000) && probe.readAll().startsWith("+OK"))
            return Status::success();
        QThread::msleep(20);
    }
    stop();
    return Status::failure(QStringLiteral("dovecot did not answer on port %1 within 10 s").arg(m_port));
}

void DovecotServer::signalGroup(int signal)
{
    const qint64 pid = m_process.processId();
    if (pid > 0)
        ::kill(-pid_t(pid), signal);
}

void DovecotServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    signalGroup(SIGTERM);
    if (!m_process.waitForFinished(5000))
        kill();
}

void DovecotServer::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    signalGroup(SIGKILL);
    m_process.waitForFinished(5000);
}

Status DovecotServer::deliver(const QByteArray &raw)
{
    const QString name =
        QStringLiteral("%1.M%2P%3.parlix").arg(1700000000 + m_delivered).arg(m_delivered).arg(::getpid());
    ++m_delivered;
    const QString temporary = path(QStringLiteral("mail/gw/tmp/") + name);
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly) || file.write(raw) != raw.size())
        return Status::failure(QStringLiteral("cannot write %1").arg(temporary));
    file.close();
    if (Status s = handToServerUser(temporary); !s)
        return s;
    if (!QFile::rename(temporary, path(QStringLiteral("mail/gw/new/") + name)))
        return Status::failure(QStringLiteral("cannot deliver %1").arg(name));
    return Status::success();
}

int DovecotServer::messageCount() const
{
    int count = 0;
    for (const char *sub : {"mail/gw/new", "mail/gw/cur"})
        count += int(QDir(path(QLatin1String(sub))).entryList(QDir::Files).size());
    return count;
}

} // namespace parlix::test
