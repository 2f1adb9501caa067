#pragma once

#include <QtGlobal>
#include <chrono>
#include <cstdint>

// What one document may hold and take. Every document is hostile input: the
// archive caps keep a small upload from unpacking into gigabytes, the XML
// caps keep a part from nesting or expanding without end.
struct DocumentLimits
{
    // The uploaded file.
    qint64 uploadBytes = 64 * 1024 * 1024;
    // An archive (.docx, .odt, .epub, ...): entries, the uncompressed total
    // its directory declares, the largest part, how far one entry may
    // inflate and how far the whole archive may. The ratios count only past
    // their grace sizes: small parts of zeros compress well. Real documents
    // stay far inside: the largest part seen is 5 MiB (an 872-page
    // handbook), the largest total 5.3 MiB, one part's ratio 36 and a whole
    // archive's 27; many parts of just under the entry grace each, which
    // unpacked a 915 KB upload into 250 MB, are stopped by the archive's.
    qint64 archiveEntries = 10000;
    qint64 uncompressedBytes = 128 * 1024 * 1024;
    qint64 partBytes = 16 * 1024 * 1024;
    qint64 inflateRatio = 100;
    qint64 inflateGraceBytes = 1024 * 1024;
    qint64 archiveRatio = 50;
    qint64 archiveGraceBytes = 8 * 1024 * 1024;
    // An archive's text parts are translated a batch of about this many
    // bytes at a time (a larger part alone), each dropped before the next.
    qint64 batchBytes = 4 * 1024 * 1024;
    // Nesting of elements in one XML part; document type declarations, and
    // so every entity of one's own, are refused outright.
    int xmlDepth = 256;
    // Time: a base plus so much per MiB of the upload, never beyond the cap.
    std::chrono::milliseconds baseTime{60000};
    std::chrono::milliseconds timePerMiB{30000};
    std::chrono::milliseconds maxTime{30 * 60 * 1000};
    // A package is small for the text it holds (XML compresses ten to one
    // and more): once its text is known, the time grows with that text,
    // at this much per MiB of it (the engine does a few KiB a second).
    std::chrono::milliseconds timePerTextMiB{6 * 60 * 1000};
    // One run of a format filter (apertium-deswxml, ...) may go silent this
    // long; LibreOffice gets longer for one conversion.
    std::chrono::milliseconds filterTimeout{30000};
    std::chrono::milliseconds officeTimeout{120000};

    std::chrono::milliseconds timeFor(qint64 bytes) const
    {
        const std::chrono::milliseconds t =
            baseTime + timePerMiB * static_cast<long>(bytes / (1024 * 1024));
        return t < maxTime ? t : maxTime;
    }
    std::chrono::milliseconds timeForText(qint64 textBytes) const
    {
        const std::chrono::milliseconds t =
            baseTime + std::chrono::milliseconds(static_cast<long long>(
                           double(timePerTextMiB.count()) * double(textBytes) / (1024.0 * 1024.0)));
        return t < maxTime ? t : maxTime;
    }
};
