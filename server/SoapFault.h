#pragma once

#include "platform/Errors.h"

// A failure the service reports to its caller as a SOAP 1.1 Fault. The
// message is the faultstring, the text the client shows to its user.
class SoapFault : public TarquellError
{
public:
    enum class Code { VersionMismatch, MustUnderstand, Client, Server };

    SoapFault(Code code, const QString& message) : TarquellError(message), m_code(code) {}
    Code code() const noexcept { return m_code; }

    static SoapFault client(const QString& message) { return {Code::Client, message}; }
    static SoapFault server(const QString& message) { return {Code::Server, message}; }

private:
    Code m_code;
};
