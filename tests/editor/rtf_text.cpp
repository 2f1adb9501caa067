// Prints what the source pane shows of each file given, as UTF-8 text with
// one line per paragraph: the file read the way Open reads it. Used by
// compare-with-libreoffice.sh to hold our reading against LibreOffice's.
//
//   rtf_text FILE [OUTPUT]
#include "editor/DocumentFile.h"

#include <QFile>
#include <QGuiApplication>
#include <QTextDocument>
#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: rtf_text FILE [OUTPUT]\n");
        return 2;
    }
    try {
        QTextDocument doc;
        DocumentFile::load(DocumentFile::readAll(QString::fromLocal8Bit(argv[1])), doc);
        const QByteArray text = DocumentFile::plainText(doc).toUtf8();
        if (argc > 2) {
            QFile out(QString::fromLocal8Bit(argv[2]));
            if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size())
                return 1;
        } else {
            std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
