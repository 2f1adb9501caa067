#pragma once

#include "tools/Vantudict/DictEntry.h"

#include <QDeadlineTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

class QTcpSocket;
struct DictStatus;

// A DICT server named by the user: dict://host[:port].
struct DictServerAddress
{
    QString host;
    quint16 port = 2628;

    // Throws DictError for anything but dict://host[:port][/...].
    static DictServerAddress parse(const QString& url);
    QString toString() const;
};

// One connection to a DICT server. Everything it does, from the connection
// to the last reply, ends within one deadline counted from the connection's
// start: a lookup waits 5 seconds at most, however many commands it sends.
class DictClient
{
public:
    static constexpr int DefaultDeadlineMs = 5000;

    explicit DictClient(DictServerAddress address, int deadlineMs = DefaultDeadlineMs);
    ~DictClient();

    // The server's databases, as "name" and "description" pairs.
    QList<std::pair<QString, QString>> databases();
    // The definitions of the word in the database ("*": all), parsed. An
    // empty list when the server has none.
    QList<DictEntry> define(const QString& database, const QString& word);

private:
    void connectOnce();
    QList<DictStatus> exchange(const QByteArray& command);
    [[noreturn]] void fail(const QString& why) const;

    DictServerAddress m_address;
    int m_deadlineMs;
    std::unique_ptr<QTcpSocket> m_socket;
    QDeadlineTimer m_deadline;
};

// The word as a quoted DICT argument; DictError for a word that cannot be
// one (control characters, longer than 200 characters).
QByteArray dictQuoted(const QString& word);
