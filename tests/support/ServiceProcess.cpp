#include "ServiceProcess.h"

#include <QProcessEnvironment>
#include <QRegularExpression>
#include <csignal>

QString ServiceProcess::program()
{
    return QStringLiteral(TARQUELL_BUILD_DIR "/server/tarquell-service");
}

ServiceProcess::ServiceProcess(const QStringList& arguments, const QStringList& environment,
                               Log log)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : environment) {
        const qsizetype eq = entry.indexOf(QLatin1Char('='));
        env.insert(entry.left(eq), entry.mid(eq + 1));
    }
    m_process.setProcessEnvironment(env);
    // The service's own diagnostics show up in the test log.
    m_process.setProcessChannelMode(log == Log::Forwarded ? QProcess::ForwardedErrorChannel
                                                          : QProcess::SeparateChannels);
    // Each --listen adds an address: the free port only when none is given.
    const bool listens = arguments.contains(QStringLiteral("--listen"));
    m_process.start(program(), (listens ? QStringList()
                                        : QStringList{QStringLiteral("--listen"),
                                                      QStringLiteral("127.0.0.1:0")}) +
                                   arguments);
    if (!m_process.waitForStarted()) {
        m_error = QStringLiteral("%1 did not start: %2").arg(program(), m_process.errorString());
        return;
    }
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(30000)) {
            m_error = QStringLiteral("no \"listening on\" line: %1").arg(m_process.errorString());
            return;
        }
    }
    const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
    const auto match =
        QRegularExpression(QStringLiteral("^listening on (\\S+):(\\d+)$")).match(line);
    if (!match.hasMatch()) {
        m_error = QStringLiteral("unexpected first line \"%1\"").arg(line);
        return;
    }
    m_port = match.captured(2).toInt();
}

ServiceProcess::~ServiceProcess()
{
    if (m_process.state() != QProcess::NotRunning)
        terminate();
}

QString ServiceProcess::log()
{
    m_log += QString::fromUtf8(m_process.readAllStandardError());
    return m_log;
}

QString ServiceProcess::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port) + path;
}

httplib::Client ServiceProcess::client() const
{
    httplib::Client c("127.0.0.1", m_port);
    c.set_read_timeout(std::chrono::seconds(120));
    c.set_write_timeout(std::chrono::seconds(120));
    c.set_keep_alive(false);
    return c;
}

httplib::Result ServiceProcess::get(const std::string& path)
{
    return client().Get(path);
}

httplib::Result ServiceProcess::post(const std::string& body, const std::string& path)
{
    return client().Post(path, {{"SOAPAction", "\"\""}}, body, "text/xml");
}

bool ServiceProcess::terminate()
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(30000)) {
        m_process.kill();
        m_process.waitForFinished();
        return false;
    }
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}
