#include "RawHttpRecorder.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <chrono>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

bool sendAll(int fd, const std::string& data)
{
    std::size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += std::size_t(n);
    }
    return true;
}

} // namespace

std::string RawHttpRecorder::Request::header(const std::string& name) const
{
    for (const auto& [k, v] : headers) {
        if (lower(k) == lower(name))
            return v;
    }
    return {};
}

std::vector<std::string> RawHttpRecorder::Request::headerNames() const
{
    std::vector<std::string> names;
    for (const auto& h : headers)
        names.push_back(h.first);
    return names;
}

RawHttpRecorder::RawHttpRecorder() = default;

RawHttpRecorder::~RawHttpRecorder()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        for (int fd : m_openFds)
            ::shutdown(fd, SHUT_RDWR);
    }
    if (m_listen >= 0)
        ::shutdown(m_listen, SHUT_RDWR);
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    if (m_listen >= 0)
        ::close(m_listen);
    for (auto& t : m_connectionThreads)
        t.join();
}

void RawHttpRecorder::route(const std::string& target, std::string rawResponse)
{
    std::lock_guard lock(m_mutex);
    m_routes[target] = std::move(rawResponse);
}

void RawHttpRecorder::setHandler(std::function<std::string(const Request&)> handler)
{
    std::lock_guard lock(m_mutex);
    m_handler = std::move(handler);
}

std::string RawHttpRecorder::response(int status, const std::string& reason,
                                      const std::string& body, const std::string& extraHeaders)
{
    return "HTTP/1.1 " + std::to_string(status) + " " + reason +
           "\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
           extraHeaders + "\r\n" + body;
}

void RawHttpRecorder::start()
{
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listen, 16) != 0)
        throw std::runtime_error("recorder: cannot listen on 127.0.0.1");
    socklen_t len = sizeof addr;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_acceptThread = std::thread([this] { acceptLoop(); });
}

QString RawHttpRecorder::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port) + path;
}

void RawHttpRecorder::acceptLoop()
{
    for (;;) {
        const int fd = ::accept(m_listen, nullptr, nullptr);
        if (fd < 0)
            return;
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            ::close(fd);
            return;
        }
        m_openFds.push_back(fd);
        const int connection = ++m_connections;
        m_connectionThreads.emplace_back([this, fd, connection] { serve(fd, connection); });
    }
}

void RawHttpRecorder::serve(int fd, int connection)
{
    std::string buffer;
    char chunk[4096];
    for (;;) {
        std::size_t headerEnd;
        while ((headerEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                goto done;
            buffer.append(chunk, std::size_t(n));
        }
        Request req;
        req.connection = connection;
        const std::string head = buffer.substr(0, headerEnd);
        std::size_t lineEnd = head.find("\r\n");
        const std::string requestLine = head.substr(0, lineEnd);
        req.method = requestLine.substr(0, requestLine.find(' '));
        const auto targetStart = requestLine.find(' ') + 1;
        req.target = requestLine.substr(targetStart, requestLine.rfind(' ') - targetStart);
        std::size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
        while (pos < head.size()) {
            std::size_t end = head.find("\r\n", pos);
            if (end == std::string::npos)
                end = head.size();
            const std::string line = head.substr(pos, end - pos);
            const auto colon = line.find(':');
            if (colon != std::string::npos) {
                std::string value = line.substr(colon + 1);
                value.erase(0, value.find_first_not_of(' '));
                req.headers.emplace_back(line.substr(0, colon), value);
            }
            pos = end + 2;
        }
        const std::string lengthText = req.header("Content-Length");
        const std::size_t length = lengthText.empty() ? 0 : std::stoul(lengthText);
        while (buffer.size() < headerEnd + 4 + length) {
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                goto done;
            buffer.append(chunk, std::size_t(n));
        }
        req.body = buffer.substr(headerEnd + 4, length);
        req.raw = buffer.substr(0, headerEnd + 4 + length);
        buffer.erase(0, headerEnd + 4 + length);

        std::string answer;
        {
            std::lock_guard lock(m_mutex);
            if (m_handler)
                answer = m_handler(req);
            if (answer.empty()) {
                const auto it = m_routes.find(req.target);
                answer = it != m_routes.end() ? it->second : response(404, "Not Found", "");
            }
            m_requests.push_back(req);
        }
        m_arrived.notify_all();
        const bool close = lower(req.header("Connection")) == "close" ||
                           lower(answer).find("\r\nconnection: close\r\n") != std::string::npos;
        if (!sendAll(fd, answer) || close)
            break;
    }
done:
    ::shutdown(fd, SHUT_RDWR);
    std::lock_guard lock(m_mutex);
    m_openFds.erase(std::remove(m_openFds.begin(), m_openFds.end(), fd), m_openFds.end());
    ::close(fd);
}

std::vector<RawHttpRecorder::Request> RawHttpRecorder::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

int RawHttpRecorder::connectionCount() const
{
    std::lock_guard lock(m_mutex);
    return m_connections;
}

bool RawHttpRecorder::waitForRequests(std::size_t n) const
{
    std::unique_lock lock(m_mutex);
    return m_arrived.wait_for(lock, std::chrono::seconds(20),
                              [&] { return m_requests.size() >= n; });
}
