#pragma once

#include "TestHttpServer.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <atomic>
#include <mutex>

// Documents that link to what they must not reach: an image and a text on
// a canary HTTP server on loopback, and the same as marker files on this
// machine. A converter that fetched or read any of them would show it in
// the canary's requests or in its result.

// A canary on 127.0.0.1 that serves the marker image and text to anyone
// who asks, and counts who did.
class Canary
{
public:
    Canary(QByteArray image, QByteArray text)
    {
        m_server.server().Get(
            ".*", [this, image, text](const httplib::Request& req, httplib::Response& res) {
                record(req);
                if (req.path.ends_with(".txt"))
                    res.set_content(text.toStdString(), "text/plain");
                else
                    res.set_content(image.toStdString(), "image/png");
            });
        m_server.server().Options(
            ".*", [this](const httplib::Request& req, httplib::Response&) { record(req); });
        m_server.start();
    }
    QString url(const QString& path) const { return m_server.url(path); }
    int requests() const { return m_requests; }
    std::string seen() const
    {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }

private:
    void record(const httplib::Request& req)
    {
        ++m_requests;
        std::lock_guard lock(m_mutex);
        m_seen += req.method + " " + req.path + "\n";
    }
    TestHttpServer m_server;
    std::atomic<int> m_requests{0};
    mutable std::mutex m_mutex;
    std::string m_seen;
};

// A 1x1 PNG carrying `marker` in a text chunk.
inline QByteArray markerPng(const QByteArray& marker)
{
    auto chunk = [](const QByteArray& type, const QByteArray& data) {
        QByteArray out;
        const quint32 n = static_cast<quint32>(data.size());
        out.append(static_cast<char>(n >> 24)).append(static_cast<char>(n >> 16));
        out.append(static_cast<char>(n >> 8)).append(static_cast<char>(n));
        const QByteArray body = type + data;
        out += body;
        quint32 crc = 0xFFFFFFFFu;
        for (char c : body) {
            crc ^= static_cast<unsigned char>(c);
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        crc ^= 0xFFFFFFFFu;
        out.append(static_cast<char>(crc >> 24)).append(static_cast<char>(crc >> 16));
        out.append(static_cast<char>(crc >> 8)).append(static_cast<char>(crc));
        return out;
    };
    const QByteArray header("\0\0\0\1\0\0\0\1\x08\x02\0\0\0", 13);
    const QByteArray raw("\0\xff\0\0", 4);
    const QByteArray idat = qCompress(raw).mid(4); // a zlib stream after Qt's length
    return QByteArray("\x89PNG\r\n\x1a\n") + chunk("IHDR", header) +
           chunk("tEXt", QByteArray("Comment", 7) + '\0' + marker) + chunk("IDAT", idat) +
           chunk("IEND", {});
}

// A web page with both images, and a style sheet from each place.
inline QByteArray linkingPage(const Canary& canary, const QString& markerImage,
                              const QString& markerCss)
{
    return (QStringLiteral("<html><head><link rel=\"stylesheet\" href=\"%1\">"
                           "<link rel=\"stylesheet\" href=\"%2\"></head><body>"
                           "<p>Hello world.</p><img src=\"%3\"><img src=\"%4\"></body></html>")
                .arg(canary.url(QStringLiteral("/style.css")),
                     QUrl::fromLocalFile(markerCss).toString(),
                     canary.url(QStringLiteral("/page.png")),
                     QUrl::fromLocalFile(markerImage).toString()))
        .toUtf8();
}

// A flat OpenDocument text with linked images and linked sections from
// both places.
inline QByteArray linkingFlatOdf(const Canary& canary, const QString& markerImage,
                                 const QString& markerText)
{
    return (QStringLiteral(
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
                " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
                " xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\""
                " xmlns:xlink=\"http://www.w3.org/1999/xlink\""
                " xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\""
                " office:version=\"1.2\" "
                "office:mimetype=\"application/vnd.oasis.opendocument.text\">"
                "<office:body><office:text><text:p>Hello world."
                "<draw:frame draw:name=\"a\" svg:width=\"1cm\" svg:height=\"1cm\"><draw:image"
                " xlink:href=\"%1\" xlink:type=\"simple\" xlink:show=\"embed\""
                " xlink:actuate=\"onLoad\"/></draw:frame>"
                "<draw:frame draw:name=\"b\" svg:width=\"1cm\" svg:height=\"1cm\"><draw:image"
                " xlink:href=\"%2\" xlink:type=\"simple\" xlink:show=\"embed\""
                " xlink:actuate=\"onLoad\"/></draw:frame></text:p>"
                "<text:section text:name=\"s1\"><text:section-source xlink:href=\"%3\""
                " xlink:type=\"simple\"/><text:p>old</text:p></text:section>"
                "<text:section text:name=\"s2\"><text:section-source xlink:href=\"%4\""
                " xlink:type=\"simple\"/><text:p>old</text:p></text:section>"
                "</office:text></office:body></office:document>\n")
                .arg(canary.url(QStringLiteral("/flat.png")),
                     QUrl::fromLocalFile(markerImage).toString(),
                     canary.url(QStringLiteral("/section.txt")),
                     QUrl::fromLocalFile(markerText).toString()))
        .toUtf8();
}

// Whether `result` holds `marker` as it is, in hexadecimal (RTF pictures)
// or in base64 (OpenDocument's binary data), line breaks aside.
inline bool holdsMarker(QByteArray result, const QByteArray& marker)
{
    result.replace("\r", "").replace("\n", "");
    return result.contains(marker) || result.toLower().contains(marker.toHex()) ||
           result.contains(marker.toBase64());
}
