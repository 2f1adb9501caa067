#pragma once

#include "platform/Errors.h"

// A request the API refuses, with the HTTP status and the text that goes
// into {"error": ...}.
class ApiError : public TarquellError
{
public:
    ApiError(unsigned status, const QString& message) : TarquellError(message), m_status(status) {}
    unsigned status() const noexcept { return m_status; }

    static ApiError invalid(const QString& message) { return {400, message}; }

private:
    unsigned m_status;
};
