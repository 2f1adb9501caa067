#include "tools/Vantudict/DictReply.h"

#include "tools/Vantudict/DictError.h"

namespace {

[[noreturn]] void notDict(const char* why)
{
    throw DictError(
        QStringLiteral("The DICT server sent a reply that is not the DICT protocol (%1).")
            .arg(QLatin1String(why)));
}

} // namespace

bool DictReplyReader::carriesText(int code)
{
    return (code >= 110 && code <= 114) || code == 151 || code == 152;
}

void DictReplyReader::clear()
{
    m_partial.clear();
    m_responses.clear();
    m_inBody = false;
    m_finished = false;
    m_total = 0;
}

void DictReplyReader::feed(QByteArrayView bytes)
{
    m_total += bytes.size();
    if (m_total > MaxReply)
        notDict("too long");
    while (!bytes.isEmpty()) {
        const qsizetype nl = bytes.indexOf('\n');
        const QByteArrayView part = nl < 0 ? bytes : bytes.first(nl);
        if (m_partial.size() + part.size() > MaxLine)
            notDict("a line too long");
        m_partial.append(part);
        if (nl < 0)
            break;
        bytes = bytes.sliced(nl + 1);
        QByteArray line = std::exchange(m_partial, QByteArray());
        if (line.endsWith('\r'))
            line.chop(1);
        takeLine(std::move(line));
    }
}

void DictReplyReader::takeLine(QByteArray line)
{
    if (m_finished)
        notDict("text after the final status");
    if (m_inBody) {
        if (line == ".") {
            m_inBody = false;
            return;
        }
        // Dot-stuffing: a line that starts with a dot came with one more.
        if (line.startsWith('.'))
            line.remove(0, 1);
        QString& body = m_responses.last().body;
        if (body.size() + line.size() > MaxBody)
            notDict("a text too long");
        body += QString::fromUtf8(line);
        body += u'\n';
        return;
    }
    if (line.size() < 3 || !std::isdigit(uchar(line[0])) || !std::isdigit(uchar(line[1])) ||
        !std::isdigit(uchar(line[2])) || (line.size() > 3 && line[3] != ' '))
        notDict("no status code");
    if (m_responses.size() == MaxResponses)
        notDict("too many responses");
    DictStatus status;
    status.code = line.left(3).toInt();
    if (status.code < 100 || status.code >= 600)
        notDict("no status code");
    status.text = QString::fromUtf8(line.mid(4));
    status.hasBody = carriesText(status.code);
    m_inBody = status.hasBody;
    m_finished = status.code >= 200 && !(status.code >= 300 && status.code < 400);
    m_responses.append(status);
}
