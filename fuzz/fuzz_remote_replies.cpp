// What LibreTranslate and APy servers answer, on any bytes: the first byte
// picks the reader, the rest is the answer. Besides crashes it checks that
// what a reader accepts holds what the service relies on, and that the
// stream cutting a remote leg's output goes through gives back what it was
// given.
#include "server/remote/RemoteReplies.h"
#include "server/remote/TextPieces.h"

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

void checkOffer(const RemoteReplies::Offer& offer)
{
    check(offer.modes.size() == static_cast<qsizetype>(offer.spelling.size()));
    for (const QString& mode : offer.modes) {
        check(mode.size() == 5 && mode[2] == QLatin1Char('_') && mode.left(2) != mode.mid(3));
        const auto& [source, target] = offer.spelling.at(mode);
        check(!source.isEmpty() && source.size() <= 16 && !target.isEmpty() && target.size() <= 16);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray body(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    using namespace RemoteReplies;
    try {
        switch (data[0] % 8) {
        case 0:
            checkOffer(libreLanguages(body));
            break;
        case 1: {
            const LibreSettings settings = libreSettings(body);
            check(settings.charLimit == -1 || settings.charLimit >= 1);
            break;
        }
        case 2:
            check(libreTranslation(body, 0).size() == 1);
            check(libreTranslation(body, 3).size() == 3);
            break;
        case 3:
            check(!libreFileUrl(body).isEmpty());
            break;
        case 4:
            check(libreError(body).size() <= 303);
            check(apyError(body).size() <= 303);
            break;
        case 5:
            checkOffer(apyPairs(body));
            break;
        case 6:
            apyTranslation(body);
            break;
        case 7: {
            // A stream as a remote leg may give it: cut and joined, it is
            // the same stream.
            QByteArray joined;
            for (const TextPieces::Segment& segment : TextPieces::segments(body))
                joined += segment.bytes;
            check(joined == body);
            const qsizetype limit = 1 + body.size() % 64;
            check(TextPieces::streamPieces(body, limit).join() == body);
            const QString text = QString::fromUtf8(body);
            QString again;
            for (const TextPieces::Piece& piece : TextPieces::cut(text, limit))
                again += piece.lead + piece.core + piece.trail;
            check(again == text);
            break;
        }
        }
    } catch (const BadReply&) {
    }
    return 0;
}
