#include "cli/LocalService.h"

#include "platform/ConfigPaths.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <csignal>
#include <sys/prctl.h>

namespace {
const QString DefaultAddress = QStringLiteral("127.0.0.1:8731");

bool answers(const QString& program, const QString& address)
{
    QProcess probe;
    probe.start(program, {QStringLiteral("--probe"), address});
    return probe.waitForFinished(15000) && probe.exitStatus() == QProcess::NormalExit &&
           probe.exitCode() == 0;
}
} // namespace

LocalService::~LocalService()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString LocalService::program()
{
    const QDir folder(ConfigPaths::programFolder());
    const QString beside = folder.filePath(QStringLiteral("tarquell-service"));
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QDir::cleanPath(folder.filePath(QStringLiteral("../server/tarquell-service")));
}

QString LocalService::locationFor(const QString& defaultLocation, bool verbose, QString* note)
{
    // One private service serves every location of the run.
    if (!m_address.isEmpty()) {
        QUrl url(defaultLocation);
        url.setPort(m_address.section(QLatin1Char(':'), 1).toInt());
        *note = QStringLiteral("using the tarquell-service started on %1").arg(m_address);
        return url.toString();
    }
    const QString service = program();
    if (!QFileInfo(service).isExecutable()) {
        *note = QStringLiteral("%1 is missing; using %2 as it is").arg(service, defaultLocation);
        m_available = false;
        return defaultLocation;
    }
    if (answers(service, DefaultAddress)) {
        *note = QStringLiteral("using the tarquell-service running on %1").arg(DefaultAddress);
        return defaultLocation;
    }

    // The service dies with this process, even when it is killed.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    // Scripts read standard error for failures only.
    if (verbose)
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    else
        m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(service, {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    const QDeadlineTimer deadline(60000);
    QString line;
    if (m_process.waitForStarted(30000)) {
        while (!m_process.canReadLine() &&
               m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
        }
    }
    if (m_process.canReadLine())
        line = QString::fromUtf8(m_process.readLine()).trimmed();
    const auto match =
        QRegularExpression(QStringLiteral("^listening on (127\\.0\\.0\\.1:\\d+)$")).match(line);
    if (!match.hasMatch()) {
        m_available = false;
        QString why = line;
        if (why.isEmpty() && m_process.state() == QProcess::NotRunning &&
            m_process.error() != QProcess::FailedToStart)
            why = QStringLiteral("exit status %1").arg(m_process.exitCode());
        else if (why.isEmpty())
            why = m_process.errorString();
        *note = QStringLiteral("tarquell-service did not start (%1)").arg(why);
        return defaultLocation;
    }
    m_address = match.captured(1);
    *note = QStringLiteral("started tarquell-service on %1 for this run").arg(m_address);
    QUrl url(defaultLocation);
    url.setPort(m_address.section(QLatin1Char(':'), 1).toInt());
    return url.toString();
}
