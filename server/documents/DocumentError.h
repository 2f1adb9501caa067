#pragma once

#include "platform/Errors.h"

// Why a document was not translated. The message is the sentence the user
// reads; the kind tells the caller which answer to give (an HTTP status, an
// exit code).
class DocumentError : public TarquellError
{
public:
    enum class Kind {
        Unsupported, // a file type we do not translate (PDF among them)
        NoPair,      // the language pair is not installed
        TooLarge,    // beyond the upload, archive or text limits
        Refused,     // damaged, encrypted or hostile content
        TimedOut,    // the document's time ran out
        Cancelled,   // the caller gave up
        Failed,      // our side failed: a filter, the engine, LibreOffice
    };

    DocumentError(Kind kind, const QString& message) : TarquellError(message), m_kind(kind) {}
    Kind kind() const noexcept { return m_kind; }

private:
    Kind m_kind;
};
