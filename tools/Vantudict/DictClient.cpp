#include "tools/Vantudict/DictClient.h"

#include "tools/Vantudict/DictError.h"
#include "tools/Vantudict/DictReply.h"

#include <QDeadlineTimer>
#include <QTcpSocket>
#include <QUrl>

DictServerAddress DictServerAddress::parse(const QString& url)
{
    const QUrl u(url.trimmed(), QUrl::StrictMode);
    const auto bad = [&] {
        return DictError(
            QStringLiteral("\"%1\" is no DICT server address: write dict://host:port.").arg(url));
    };
    if (!u.isValid() || u.scheme() != QLatin1String("dict") || u.host().isEmpty() ||
        !u.userInfo().isEmpty())
        throw bad();
    DictServerAddress a;
    a.host = u.host();
    const int port = u.port(2628);
    if (port <= 0 || port > 65535)
        throw bad();
    a.port = quint16(port);
    return a;
}

QString DictServerAddress::toString() const
{
    const QString h = host.contains(u':') ? u'[' + host + u']' : host;
    return QStringLiteral("dict://%1:%2").arg(h).arg(port);
}

QByteArray dictQuoted(const QString& word)
{
    if (word.isEmpty() || word.size() > 200)
        throw DictError(QStringLiteral("A word for the DICT server has 1 to 200 characters."));
    QByteArray out("\"");
    for (const QChar c : word) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            throw DictError(
                QStringLiteral("A word for the DICT server has no control characters."));
        if (c == u'"' || c == u'\\')
            out += '\\';
        out += QString(c).toUtf8();
    }
    return out + '"';
}

DictClient::DictClient(DictServerAddress address, int deadlineMs)
    : m_address(std::move(address)), m_deadlineMs(deadlineMs)
{
}

DictClient::~DictClient() = default;

void DictClient::fail(const QString& why) const
{
    throw DictError(QStringLiteral("The DICT server %1 %2").arg(m_address.toString(), why));
}

void DictClient::connectOnce()
{
    if (m_socket)
        return;
    m_socket = std::make_unique<QTcpSocket>();
    m_deadline = QDeadlineTimer(m_deadlineMs);
    m_socket->connectToHost(m_address.host, m_address.port);
    if (!m_socket->waitForConnected(int(m_deadline.remainingTime()))) {
        if (m_socket->error() == QAbstractSocket::SocketTimeoutError || m_deadline.hasExpired())
            fail(QStringLiteral("did not answer within %1 seconds.").arg(m_deadlineMs / 1000.0));
        fail(QStringLiteral("cannot be reached: %1.").arg(m_socket->errorString()));
    }
    // The banner: 220 text <capabilities> <msg-id>.
    const QList<DictStatus> banner = exchange(QByteArray());
    if (banner.isEmpty() || banner.last().code != 220)
        fail(QStringLiteral("refused the connection: %1.")
                 .arg(banner.isEmpty() ? QString() : banner.last().text));
    exchange("CLIENT Vantudict\r\n");
}

QList<DictStatus> DictClient::exchange(const QByteArray& command)
{
    const QDeadlineTimer& deadline = m_deadline;
    if (!command.isEmpty()) {
        m_socket->write(command);
        while (m_socket->bytesToWrite() > 0) {
            if (!m_socket->waitForBytesWritten(int(deadline.remainingTime())))
                fail(QStringLiteral("did not take the request within %1 seconds.")
                         .arg(m_deadlineMs / 1000.0));
        }
    }
    DictReplyReader reader;
    while (!reader.finished()) {
        if (m_socket->bytesAvailable() == 0) {
            if (deadline.hasExpired() ||
                !m_socket->waitForReadyRead(int(deadline.remainingTime()))) {
                if (m_socket->state() != QAbstractSocket::ConnectedState)
                    fail(QStringLiteral("closed the connection before it answered."));
                fail(
                    QStringLiteral("did not answer within %1 seconds.").arg(m_deadlineMs / 1000.0));
            }
        }
        reader.feed(m_socket->read(64 * 1024));
    }
    return reader.responses();
}

QList<std::pair<QString, QString>> DictClient::databases()
{
    connectOnce();
    QList<std::pair<QString, QString>> out;
    for (const DictStatus& s : exchange("SHOW DB\r\n")) {
        if (s.code != 110)
            continue;
        for (const QString& line : s.body.split(u'\n', Qt::SkipEmptyParts)) {
            const qsizetype blank = line.indexOf(u' ');
            const QString name = blank < 0 ? line : line.left(blank);
            QString description = blank < 0 ? QString() : line.mid(blank + 1).trimmed();
            if (description.startsWith(u'"') && description.endsWith(u'"') &&
                description.size() > 1)
                description = description.mid(1, description.size() - 2);
            out.append({name, description});
        }
    }
    return out;
}

QList<DictEntry> DictClient::define(const QString& database, const QString& word)
{
    const QByteArray request = "DEFINE " + dictQuoted(database) + ' ' + dictQuoted(word) + "\r\n";
    connectOnce();
    QList<DictEntry> out;
    const QList<DictStatus> replies = exchange(request);
    for (const DictStatus& s : replies) {
        if (s.code == 151) {
            DictEntry e = parseDictEntry(s.body);
            // 151 "word" database "description"
            const QStringList words = s.text.split(u'"');
            e.source = words.size() >= 4 ? words[3] : s.text;
            out.append(e);
        }
    }
    const int last = replies.isEmpty() ? 0 : replies.last().code;
    if (last == 550)
        fail(QStringLiteral("has no database %1.").arg(database));
    if (last >= 400 && last != 552)
        fail(QStringLiteral("answered: %1 %2").arg(last).arg(replies.last().text));
    return out;
}
