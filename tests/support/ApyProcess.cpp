#include "ApyProcess.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// APy's own start (apertium-apy PAIRS -p PORT), with Tornado's listening
// socket bound to 127.0.0.1 rather than every interface.
const char* const launcher = R"(
import sys
import tornado.tcpserver
sys.argv = ['apertium-apy', '-p', sys.argv[1], sys.argv[2]]
bind = tornado.tcpserver.TCPServer.bind
def loopback_only(self, port, address=None, *args, **kwargs):
    return bind(self, port, '127.0.0.1', *args, **kwargs)
tornado.tcpserver.TCPServer.bind = loopback_only
from apertium_apy.apy import main
main()
)";

const QString python = QStringLiteral("/usr/bin/python3");

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}
} // namespace

bool ApyProcess::isInstalled()
{
    return QFileInfo::exists(
               QStringLiteral("/usr/lib/python3/dist-packages/apertium_apy/apy.py")) &&
           QFileInfo::exists(python);
}

ApyProcess::ApyProcess(const QString& modesDir)
{
    if (!isInstalled()) {
        m_error = QStringLiteral("apertium-apy is not installed (scripts/deps.sh)");
        return;
    }
    const int port = freePort();
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(python, {QStringLiteral("-c"), QString::fromUtf8(launcher),
                             QString::number(port), modesDir});
    if (!m_process.waitForStarted()) {
        m_error = QStringLiteral("python3 did not start: %1").arg(m_process.errorString());
        return;
    }
    // Ready when it lists its pairs.
    const QDeadlineTimer deadline(30000);
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(std::chrono::seconds(1));
    client.set_read_timeout(std::chrono::seconds(5));
    while (!deadline.hasExpired()) {
        if (m_process.state() == QProcess::NotRunning) {
            m_error = QStringLiteral("apertium-apy ended at start");
            return;
        }
        const auto res = client.Get("/listPairs");
        if (res && res->status == 200) {
            m_port = port;
            return;
        }
        m_process.waitForFinished(100);
    }
    m_error = QStringLiteral("apertium-apy did not answer /listPairs within 30 s");
}

ApyProcess::~ApyProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

QString ApyProcess::url() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_port);
}
