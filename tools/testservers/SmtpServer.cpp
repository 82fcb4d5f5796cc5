#include "testservers/SmtpServer.h"

#include <QFile>
#include <QJsonDocument>

namespace parlix::test {

namespace {

const char *kScript = R"PY(
import asyncio, json, socket, ssl, sys
from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

user, password, start_tls, refuse, out_path, cert, key = sys.argv[1:8]
start_tls = start_tls == '1'

def record(obj):
    with open(out_path, 'a', encoding='utf-8') as f:
        f.write(json.dumps(obj) + '\n')

class Handler:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if refuse and refuse in address:
            return '550 5.1.1 <%s>: Recipient address rejected: no such subscriber' % address
        envelope.rcpt_tos.append(address)
        return '250 OK'

    async def handle_DATA(self, server, session, envelope):
        record({'type': 'mail', 'from': envelope.mail_from, 'to': envelope.rcpt_tos,
                'data': envelope.original_content.decode('utf-8', 'replace')})
        return '250 Message accepted for delivery'

def authenticator(server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and auth_data.login.decode() == user \
        and auth_data.password.decode() == password
    record({'type': 'auth', 'mechanism': mechanism, 'login': auth_data.login.decode() if ok else '', 'ok': ok})
    if ok:
        return AuthResult(success=True)
    return AuthResult(success=False, handled=False)

s = socket.socket()
s.bind(('127.0.0.1', 0))
port = s.getsockname()[1]
s.close()

kwargs = {}
if user:
    kwargs.update(authenticator=authenticator, auth_required=True, auth_require_tls=start_tls)
if start_tls:
    ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    ctx.load_cert_chain(cert, key)
    kwargs.update(tls_context=ctx, require_starttls=bool(user))
controller = Controller(Handler(), hostname='127.0.0.1', port=port, **kwargs)
controller.start()
print('READY %d' % port, flush=True)
sys.stdin.read()
controller.stop()
)PY";

} // namespace

SmtpServer::SmtpServer(Config config)
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    const QString script = m_dir.filePath(QStringLiteral("smtpd.py"));
    QFile f(script);
    f.open(QIODevice::WriteOnly);
    f.write(kScript);
    f.close();

    if (config.startTls) {
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                       QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                       QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                       QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                       QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"),
                       m_dir.filePath(QStringLiteral("key.pem")), QStringLiteral("-out"), certificateFile()});
        if (!openssl.waitForFinished(20000) || openssl.exitCode() != 0) {
            m_error = QStringLiteral("openssl could not make a test certificate: ") +
                      QString::fromLocal8Bit(openssl.readAllStandardError());
            return;
        }
    }

    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    {script, config.user, config.password, config.startTls ? QStringLiteral("1") : QStringLiteral("0"),
                     config.refuseMarker, m_dir.filePath(QStringLiteral("events.jsonl")), certificateFile(),
                     m_dir.filePath(QStringLiteral("key.pem"))});
    if (!m_process.waitForStarted(5000)) {
        m_error = QStringLiteral("/usr/bin/python3 does not start: ") + m_process.errorString();
        return;
    }
    QByteArray out;
    while (!out.contains('\n')) {
        if (!m_process.waitForReadyRead(15000)) {
            m_error = QStringLiteral("aiosmtpd did not start (is python3-aiosmtpd installed?): ") +
                      QString::fromLocal8Bit(m_process.readAllStandardError());
            return;
        }
        out += m_process.readAllStandardOutput();
    }
    const QList<QByteArray> words = out.trimmed().split(' ');
    if (words.size() != 2 || words.at(0) != "READY") {
        m_error = QStringLiteral("aiosmtpd said: ") + QString::fromLocal8Bit(out);
        return;
    }
    m_port = quint16(words.at(1).toUInt());
}

SmtpServer::~SmtpServer()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

QVector<QJsonObject> SmtpServer::events() const
{
    QVector<QJsonObject> result;
    QFile f(m_dir.filePath(QStringLiteral("events.jsonl")));
    if (!f.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (!line.trimmed().isEmpty())
            result.append(QJsonDocument::fromJson(line).object());
    }
    return result;
}

QVector<QJsonObject> SmtpServer::mails() const
{
    QVector<QJsonObject> result;
    for (const QJsonObject &e : events()) {
        if (e.value(QStringLiteral("type")).toString() == QLatin1String("mail"))
            result.append(e);
    }
    return result;
}

} // namespace parlix::test
