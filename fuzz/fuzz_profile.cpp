// The settings file parser and writer on any bytes. Besides crashes it checks
// that what is written reads back, and that writing out and reading in again
// changes nothing.
#include "platform/ProfileFile.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// What reading gives back for a written value.
QString expectedRead(QString value)
{
    for (QChar& c : value) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    value = value.trimmed();
    if (value.size() > ProfileFile::MaxValueLength) {
        qsizetype cut = ProfileFile::MaxValueLength;
        if (value.at(cut - 1).isHighSurrogate() && value.at(cut).isLowSurrogate())
            --cut;
        value.truncate(cut);
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    ProfileFile file;
    file.loadFromBytes(bytes);

    const QString options = QStringLiteral("Options");
    const QString settings = QStringLiteral("Settings");
    (void)file.readInteger(options, QStringLiteral("MT Quote"), 5000);
    (void)file.readBool(options, QStringLiteral("Load Settings"), true);
    (void)file.readString(settings, QStringLiteral("SrcLang"), QStringLiteral("French"));
    (void)ProfileFile::parseInteger(QString::fromUtf8(bytes.left(64)));

    // Normalised once, the text is stable.
    const QByteArray once = file.toBytes();
    ProfileFile again;
    again.loadFromBytes(once);
    check(again.toBytes() == once);

    // Values taken from the input land where they belong and read back.
    const QString value = QString::fromUtf8(bytes.mid(qsizetype(size / 2)));
    file.writeString(settings, QStringLiteral("SrcLang"), value);
    file.writeInteger(options, QStringLiteral("MT Quote"), int(size));
    file.writeBool(QStringLiteral("Interface"), QStringLiteral("Flag"), size % 2 == 1);
    check(file.readString(settings, QStringLiteral("srclang"), QString()) == expectedRead(value));

    const QByteArray written = file.toBytes();
    ProfileFile reread;
    reread.loadFromBytes(written);
    check(reread.readString(settings, QStringLiteral("SrcLang"), QString()) == expectedRead(value));
    check(reread.readInteger(options, QStringLiteral("MT Quote"), -1) == int(size));
    check(reread.readBool(QStringLiteral("interface"), QStringLiteral("flag"), size % 2 == 0) ==
          (size % 2 == 1));
    check(reread.toBytes() == written);
    return 0;
}
