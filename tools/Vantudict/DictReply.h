#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One response of a DICT server (RFC 2229): its status line and, for the
// codes that carry one (110 to 114, 151, 152), the text block that follows
// it up to the line holding a single dot, dot-stuffing undone.
struct DictStatus
{
    int code = 0;
    QString text; // the status line after the code
    bool hasBody = false;
    QString body;
};

// Reads what a DICT server sends, as it comes, into responses. The server
// is outside input: lines, text blocks and the whole reply are bounded, and
// anything that is not the protocol throws DictError.
class DictReplyReader
{
public:
    // RFC 2229 allows 1024 bytes a line; servers in the wild go past it a
    // little in definitions.
    static constexpr qsizetype MaxLine = 8 * 1024;
    static constexpr qsizetype MaxBody = 1024 * 1024;
    static constexpr qsizetype MaxReply = 4 * 1024 * 1024;
    static constexpr int MaxResponses = 256;

    void feed(QByteArrayView bytes);
    // True once the last response is a final one (2xx, 4xx, 5xx): the
    // server waits for the next command.
    bool finished() const noexcept { return m_finished; }
    const QList<DictStatus>& responses() const noexcept { return m_responses; }
    // For the next command.
    void clear();

    static bool carriesText(int code);

private:
    void takeLine(QByteArray line);

    QByteArray m_partial;
    QList<DictStatus> m_responses;
    bool m_inBody = false;
    bool m_finished = false;
    qsizetype m_total = 0;
};
