#pragma once

#include "platform/Errors.h"

// A failure the service reports to its caller as a SOAP 1.1 Fault. The
// message is the faultstring, the text the client shows to its user.
class ServiceFault : public TarquellError
{
public:
    enum class Code { VersionMismatch, MustUnderstand, Client, Server };

    ServiceFault(Code code, const QString& message) : TarquellError(message), m_code(code) {}
    Code code() const noexcept { return m_code; }

    static ServiceFault client(const QString& message) { return {Code::Client, message}; }
    static ServiceFault server(const QString& message) { return {Code::Server, message}; }

private:
    Code m_code;
};
