#pragma once

#include <QByteArray>
#include <QString>

// A multipart/form-data body as the programs here send a file to a
// translation service: text fields, then one file, each part behind a
// random boundary that no content contains by chance.
class MultipartForm
{
public:
    MultipartForm();

    void addField(const char* name, const QByteArray& value);
    // The file's name goes into the part's header without folders, quotes,
    // backslashes or control characters ("document" when nothing is left).
    void addFile(const char* name, const QString& fileName, const QByteArray& content,
                 const QByteArray& contentType = "application/octet-stream");
    // The body with its closing boundary; the form is spent after.
    QByteArray finish();
    // "multipart/form-data; boundary=...", for the Content-Type header.
    QByteArray contentType() const;

    // The file name as addFile writes it.
    static QByteArray headerFileName(const QString& fileName);

private:
    QByteArray m_boundary;
    QByteArray m_body;
};
