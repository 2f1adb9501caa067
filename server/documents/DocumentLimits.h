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
    // its directory declares, and how far one entry may inflate. The ratio
    // counts only past the grace size: small parts of zeros compress well.
    qint64 archiveEntries = 10000;
    qint64 uncompressedBytes = 256 * 1024 * 1024;
    qint64 inflateRatio = 100;
    qint64 inflateGraceBytes = 1024 * 1024;
    // Nesting of elements in one XML part; document type declarations, and
    // so every entity of one's own, are refused outright.
    int xmlDepth = 256;
    // Time: a base plus so much per MiB of the upload, never beyond the cap.
    std::chrono::milliseconds baseTime{60000};
    std::chrono::milliseconds timePerMiB{30000};
    std::chrono::milliseconds maxTime{30 * 60 * 1000};
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
};
