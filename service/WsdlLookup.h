#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

// Finds, in a WSDL 1.1 document and the documents it imports, what one call
// needs: the operation's namespace and SOAP action from the SOAP binding,
// and the endpoint from the port's soap:address.
//
// Lookup: the service named `service`, its port named `port`; the port's
// binding attribute is a qualified name matched namespace-aware against the
// bindings (an unprefixed name stands for the target namespace); in the
// binding, the operation named `operation`, its soap:operation/@soapAction
// and input/soap:body/@namespace. When a document lacks the service or
// port, its wsdl:import documents are searched in turn; a binding is looked
// for in the port's document first, then in what that document imports.
// Every document is read at most once per lookup, so import cycles end.
class WsdlLookup
{
public:
    // Reads one document: returns its bytes or throws TarquellError.
    using Fetch = std::function<QByteArray(const QString& location)>;

    struct Result
    {
        bool portFound = false;
        QString operationNamespace; // empty when the binding gives none
        QString soapAction;         // empty when the binding gives none
        QString endpoint;           // soap:address/@location, empty when missing
    };

    // The documents earlier lookups parsed, by location. A later lookup
    // still reads every document through fetch, but parses it again only
    // when its bytes differ from the ones read before. Meant to live for
    // one call.
    class Parsed
    {
    public:
        Parsed();
        ~Parsed();
        Parsed(const Parsed&) = delete;
        Parsed& operator=(const Parsed&) = delete;

    private:
        friend class WsdlLookup;
        struct Documents;
        std::unique_ptr<Documents> m_documents;
    };

    // A document that is not well-formed fails with the "Invalid WSDL
    // document" message; failures of fetch pass through.
    static Result find(const QString& location, const Fetch& fetch, const QString& service,
                       const QString& port, const QString& operation, Parsed* parsed = nullptr);

    // Where an import's location points, seen from the importing document.
    // Empty when it may not be followed: a document read over HTTP may only
    // import over HTTP.
    static QString resolveImport(const QString& baseLocation, const QString& importLocation);

    // Most documents one lookup reads; a longer chain of imports is not
    // followed further.
    static constexpr int MaxDocuments = 32;
};

// "http://" or "https://" at the start, without regard to case.
bool isHttpLocation(const QString& location);
