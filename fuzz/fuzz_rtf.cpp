// The RTF reader on arbitrary bytes: it must never crash, hang or grow
// without bound, and what it builds must be a sound document.
#include "editor/RtfReader.h"
#include "editor/RtfWriter.h"

#include <QGuiApplication>
#include <QTextDocument>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Every input is read as RTF: the header is added when missing.
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!Rtf::looksLikeRtf(bytes))
        bytes.prepend("{\\rtf1 ");
    QTextDocument doc;
    if (!Rtf::read(bytes, doc))
        abort();
    // Written back and read again: the writer's output is always RTF.
    QTextDocument again;
    if (!Rtf::read(Rtf::write(doc), again))
        abort();
    if (again.toPlainText() != doc.toPlainText())
        abort();
    return 0;
}
