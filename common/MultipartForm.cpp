#include "common/MultipartForm.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <utility>

MultipartForm::MultipartForm()
{
    m_boundary = "tarquell-";
    for (int i = 0; i < 2; ++i)
        m_boundary += QByteArray::number(QRandomGenerator::system()->generate64(), 16)
                          .rightJustified(16, '0');
}

void MultipartForm::addField(const char* name, const QByteArray& value)
{
    m_body += "--" + m_boundary + "\r\nContent-Disposition: form-data; name=\"" + name +
              "\"\r\n\r\n" + value + "\r\n";
}

void MultipartForm::addFile(const char* name, const QString& fileName, const QByteArray& content,
                            const QByteArray& contentType)
{
    m_body += "--" + m_boundary + "\r\nContent-Disposition: form-data; name=\"" + name +
              "\"; filename=\"" + headerFileName(fileName) + "\"\r\nContent-Type: " + contentType +
              "\r\n\r\n";
    m_body += content;
    m_body += "\r\n";
}

QByteArray MultipartForm::finish()
{
    m_body += "--" + m_boundary + "--\r\n";
    return std::exchange(m_body, {});
}

QByteArray MultipartForm::contentType() const
{
    return "multipart/form-data; boundary=" + m_boundary;
}

QByteArray MultipartForm::headerFileName(const QString& fileName)
{
    QByteArray name = QFileInfo(fileName).fileName().toUtf8();
    for (char& c : name) {
        if (c == '"' || c == '\\' || (c >= 0 && c < 0x20) || c == 0x7f)
            c = '_';
    }
    return name.isEmpty() ? QByteArray("document") : name;
}
