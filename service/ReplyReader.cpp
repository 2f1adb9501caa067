#include "service/ReplyReader.h"

#include "service/SoapErrors.h"
#include "service/SoapNames.h"
#include "service/SoapXml.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

using namespace SoapXml;

namespace {

struct Response
{
    Document doc;
    QDomElement body;
    QDomElement element;
};

[[noreturn]] void throwFault(const QDomElement& fault)
{
    QString code, string, actor, detail;
    for (const QDomElement& part : elementChildren(fault)) {
        const QString name = localName(part);
        if (name.compare(QLatin1String("faultcode"), Qt::CaseInsensitive) == 0)
            code = text(part);
        else if (name.compare(QLatin1String("faultstring"), Qt::CaseInsensitive) == 0)
            string = text(part);
        else if (name.compare(QLatin1String("faultactor"), Qt::CaseInsensitive) == 0)
            actor = text(part);
        else if (name.compare(QLatin1String("detail"), Qt::CaseInsensitive) == 0)
            detail = xmlOf(part);
    }
    // An empty fault string would leave the user an empty error box.
    if (string.trimmed().isEmpty()) {
        string = code.isEmpty() ? QStringLiteral("The service reported a fault without a reason")
                                : QStringLiteral("The service reported the fault %1 without a "
                                                 "reason")
                                      .arg(code);
    }
    throw SoapFault(string, code, actor, detail);
}

// Checks the envelope and finds the response element; a Fault is thrown.
void open(const QByteArray& reply, Response& r)
{
    if (std::all_of(reply.begin(), reply.end(), [](char c) { return std::isspace(uchar(c)); }))
        throw TarquellError(SoapMessages::invalidResponse());
    if (!r.doc.setContent(reply))
        throw TarquellError(r.doc.errorText());
    const QDomElement root = r.doc.root();
    if (root.isNull())
        throw TarquellError(SoapMessages::invalidResponse());
    if (root.namespaceURI() != SoapNs::Envelope || localName(root) != QLatin1String("Envelope"))
        throw TarquellError(
            SoapMessages::documentElementExpected(root.namespaceURI(), localName(root)));
    const QList<QDomElement> parts = elementChildren(root);
    if (parts.isEmpty())
        throw TarquellError(SoapMessages::invalidRequest());

    QDomElement header;
    for (const QDomElement& part : parts) {
        const QString name = localName(part);
        QDomElement* slot = name == QLatin1String("Header") ? &header
                            : name == QLatin1String("Body") ? &r.body
                                                            : nullptr;
        if (!slot)
            continue;
        if (!slot->isNull())
            throw TarquellError(SoapMessages::invalidRequest());
        *slot = part;
    }
    // No header is understood here, so every mandatory one fails the call.
    for (const QDomElement& entry : elementChildren(header)) {
        const QDomNamedNodeMap attributes = entry.attributes();
        for (int i = 0; i < attributes.count(); ++i) {
            const QDomAttr a = attributes.item(i).toAttr();
            // Only "1" makes an entry mandatory; "true" or "0" leave it ignored.
            if (localName(a) == QLatin1String("mustUnderstand") && a.value() == QLatin1String("1"))
                throw TarquellError(SoapMessages::mustUnderstand(localName(entry)));
        }
    }
    // A reply without a Body, or with an empty one, answers nothing.
    r.element = firstElementChild(r.body);
    if (r.element.isNull())
        throw TarquellError(SoapMessages::invalidResponse());
    if (localName(r.element) == QLatin1String("Fault"))
        throwFault(r.element);
}

QDomElement resolved(const Response& r, const QDomElement& e)
{
    const QDomElement target = resolveHref(e, {r.element, r.body});
    if (target.isNull()) {
        throw TarquellError(
            QStringLiteral("Invalid SOAP Response: the reference \"%1\" points to no element")
                .arg(e.attribute(QStringLiteral("href"))));
    }
    return target;
}

// The common reply read without building a DOM: one pass over the bytes
// that checks them as strictly as the XML reader would and picks the return
// element's text. Anything it does not fully handle - a DOCTYPE, comments,
// processing instructions, CDATA, another encoding, header entries, a
// fault, references (href), a return element with markup inside, or
// anything not well-formed - makes it give up, and the DOM reader decides,
// so every rule and error text stays that reader's.
class FastReply
{
public:
    FastReply(const QByteArray& bytes, const QStringList& returnNames)
        : m_p(bytes.constData()), m_end(bytes.constData() + bytes.size()),
          m_returnNames(returnNames)
    {
    }

    std::optional<QString> read()
    {
        if (!document() || !m_chosenFound)
            return std::nullopt;
        return decodeText(m_chosen);
    }

private:
    struct Name
    {
        std::string_view qname;
        std::string_view prefix;
        std::string_view local;
    };
    struct Binding
    {
        std::string_view prefix;
        std::string_view uri;
        int depth;
    };
    struct Child
    {
        bool simple = true; // text only, no href
        std::string_view text;
    };

    // Printable ASCII other than blank, '<', '&' and ']'.
    static bool plain(char c)
    {
        const uchar u = uchar(c);
        return u > 0x20 && u < 0x7F && u != '<' && u != '&' && u != ']';
    }
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    static bool isNameStart(char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    }
    static bool isNameChar(char c)
    {
        return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
    }
    void skipSpace()
    {
        while (m_p < m_end && isSpace(*m_p))
            ++m_p;
    }
    bool literal(std::string_view s)
    {
        if (std::size_t(m_end - m_p) < s.size() || std::string_view(m_p, s.size()) != s)
            return false;
        m_p += s.size();
        return true;
    }

    // An ASCII name with at most one colon, not at either end.
    bool name(Name& out)
    {
        const char* start = m_p;
        const char* colon = nullptr;
        if (m_p >= m_end || !isNameStart(*m_p))
            return false;
        ++m_p;
        while (m_p < m_end && (isNameChar(*m_p) || *m_p == ':')) {
            if (*m_p == ':') {
                if (colon || m_p + 1 >= m_end || !isNameStart(m_p[1]))
                    return false;
                colon = m_p;
            }
            ++m_p;
        }
        out.qname = std::string_view(start, std::size_t(m_p - start));
        out.prefix =
            colon ? std::string_view(start, std::size_t(colon - start)) : std::string_view();
        out.local = colon ? std::string_view(colon + 1, std::size_t(m_p - colon - 1)) : out.qname;
        return true;
    }

    // One character or entity reference after '&'; false when not one the
    // reader accepts without a DTD.
    static bool reference(const char*& p, const char* end, char32_t* value)
    {
        const char* semi =
            static_cast<const char*>(std::memchr(p, ';', std::min<std::ptrdiff_t>(end - p, 12)));
        if (!semi)
            return false;
        const std::string_view ref(p + 1, std::size_t(semi - p - 1));
        char32_t c = 0;
        if (ref == "lt")
            c = '<';
        else if (ref == "gt")
            c = '>';
        else if (ref == "amp")
            c = '&';
        else if (ref == "apos")
            c = '\'';
        else if (ref == "quot")
            c = '"';
        else if (ref.size() >= 2 && ref[0] == '#') {
            const bool hex = ref[1] == 'x';
            const std::string_view digits = ref.substr(hex ? 2 : 1);
            if (digits.empty() || digits.size() > 6)
                return false;
            for (char d : digits) {
                int v;
                if (d >= '0' && d <= '9')
                    v = d - '0';
                else if (hex && d >= 'a' && d <= 'f')
                    v = d - 'a' + 10;
                else if (hex && d >= 'A' && d <= 'F')
                    v = d - 'A' + 10;
                else
                    return false;
                c = c * (hex ? 16 : 10) + char32_t(v);
            }
            const bool valid = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                               (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
            if (!valid)
                return false;
        } else {
            return false;
        }
        if (value)
            *value = c;
        p = semi + 1;
        return true;
    }

    // One UTF-8 sequence starting at p (a byte >= 0x80): false when it is
    // not well-formed or not a character XML carries.
    static bool utf8(const char*& p, const char* end)
    {
        const auto b = [&](std::ptrdiff_t i) { return uchar(p[i]); };
        const uchar lead = b(0);
        int n;
        char32_t c;
        if (lead >= 0xC2 && lead <= 0xDF) {
            n = 2;
            c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            n = 3;
            c = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            n = 4;
            c = lead & 0x07;
        } else {
            return false;
        }
        if (end - p < n)
            return false;
        for (int i = 1; i < n; ++i) {
            if ((b(i) & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (b(i) & 0x3F);
        }
        if ((n == 3 && c < 0x800) || (n == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
            (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF)
            return false;
        p += n;
        return true;
    }

    // Character data up to the next '<': checked, not decoded. Sets blank
    // when it holds nothing but white space.
    bool charData(std::string_view& out, bool& blank)
    {
        const char* start = m_p;
        blank = true;
        while (m_p < m_end) {
            // The bulk of any text: printable ASCII that needs no look.
            if (plain(*m_p)) {
                blank = false;
                do
                    ++m_p;
                while (m_p < m_end && plain(*m_p));
                continue;
            }
            const uchar c = uchar(*m_p);
            if (c == '<') {
                break;
            } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
                ++m_p;
            } else if (c == ']') {
                if (m_end - m_p >= 3 && m_p[1] == ']' && m_p[2] == '>')
                    return false;
                blank = false;
                ++m_p;
            } else if (c >= 0x80) {
                if (!utf8(m_p, m_end))
                    return false;
                blank = false;
            } else if (c == '&') {
                if (!reference(m_p, m_end, nullptr))
                    return false;
                blank = false;
            } else {
                return false; // control characters
            }
        }
        out = std::string_view(start, std::size_t(m_p - start));
        return true;
    }

    // A quoted attribute value; simple when it has no reference and no
    // white space other than blanks (so that it needs no normalising).
    bool attributeValue(std::string_view& out, bool& simple)
    {
        if (m_p >= m_end || (*m_p != '"' && *m_p != '\''))
            return false;
        const char quote = *m_p++;
        const char* start = m_p;
        simple = true;
        while (m_p < m_end && *m_p != quote) {
            const uchar c = uchar(*m_p);
            if (c == '<')
                return false;
            if (c == '&') {
                if (!reference(m_p, m_end, nullptr))
                    return false;
                simple = false;
            } else if (c >= 0x80) {
                if (!utf8(m_p, m_end))
                    return false;
            } else if (c < 0x20) {
                if (c != '\t' && c != '\n' && c != '\r')
                    return false;
                simple = false;
                ++m_p;
            } else {
                ++m_p;
            }
        }
        if (m_p >= m_end)
            return false;
        out = std::string_view(start, std::size_t(m_p - start));
        ++m_p;
        return true;
    }

    bool declaration()
    {
        if (!literal("<?xml"))
            return true; // none: UTF-8
        if (m_p >= m_end || !isSpace(*m_p))
            return false;
        skipSpace();
        auto pseudo = [&](std::string_view key, std::string_view& value) {
            if (!literal(key))
                return false;
            skipSpace();
            if (!literal("="))
                return false;
            skipSpace();
            bool simple;
            return attributeValue(value, simple) && simple;
        };
        std::string_view value;
        if (!pseudo("version", value) || value != "1.0")
            return false;
        const char* before = m_p;
        skipSpace();
        if (m_p != before && m_p < m_end && *m_p == 'e') {
            if (!pseudo("encoding", value) ||
                QLatin1StringView(value.data(), qsizetype(value.size()))
                        .compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0)
                return false;
            before = m_p;
            skipSpace();
        }
        if (m_p != before && m_p < m_end && *m_p == 's') {
            if (!pseudo("standalone", value) || (value != "yes" && value != "no"))
                return false;
            skipSpace();
        }
        return literal("?>");
    }

    std::string_view namespaceOf(std::string_view prefix) const
    {
        for (auto it = m_bindings.rbegin(); it != m_bindings.rend(); ++it) {
            if (it->prefix == prefix)
                return it->uri;
        }
        return {};
    }
    bool bound(std::string_view prefix) const
    {
        if (prefix.empty() || prefix == "xml")
            return true;
        for (const Binding& b : m_bindings) {
            if (b.prefix == prefix)
                return true;
        }
        return false;
    }

    bool returnNameMatches(std::string_view local) const
    {
        const QLatin1StringView name(local.data(), qsizetype(local.size()));
        for (const QString& wanted : m_returnNames) {
            if (name.compare(wanted, Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }

    // Start tag after '<'. Returns false to give up.
    bool startTag(Name& element, bool& empty, bool& hasHref)
    {
        if (!name(element))
            return false;
        const int depth = int(m_open.size()) + 1;
        struct Attr
        {
            Name name;
        };
        QVarLengthArray<Attr, 8> attrs;
        hasHref = false;
        for (;;) {
            const char* before = m_p;
            skipSpace();
            if (m_p >= m_end)
                return false;
            if (*m_p == '>' || *m_p == '/')
                break;
            if (m_p == before)
                return false; // attributes are separated by white space
            Attr a;
            if (!name(a.name))
                return false;
            skipSpace();
            if (!literal("="))
                return false;
            skipSpace();
            std::string_view value;
            bool simple;
            if (!attributeValue(value, simple))
                return false;
            for (const Attr& other : attrs) {
                if (other.name.local == a.name.local)
                    return false; // possibly the same attribute twice
            }
            if (a.name.local == "href")
                hasHref = true;
            if (a.name.prefix == "xmlns" || a.name.qname == "xmlns") {
                // Declarations the DOM reader would treat specially.
                if (!simple || value.empty() || a.name.qname == "xmlns:xml" ||
                    a.name.qname == "xmlns:xmlns")
                    return false;
                m_bindings.push_back(
                    {a.name.prefix.empty() ? std::string_view() : a.name.local, value, depth});
            }
            attrs.append(a);
        }
        if (element.prefix == "xmlns" || !bound(element.prefix))
            return false;
        for (const Attr& a : attrs) {
            if (a.name.prefix != "xmlns" && !bound(a.name.prefix))
                return false;
        }
        empty = *m_p == '/';
        if (empty && !literal("/>"))
            return false;
        if (!empty)
            ++m_p;
        return true;
    }

    void endElement()
    {
        const int depth = int(m_open.size());
        while (!m_bindings.empty() && m_bindings.back().depth >= depth)
            m_bindings.pop_back();
        m_open.pop_back();
    }

    bool document()
    {
        if (!declaration())
            return false;
        skipSpace();
        if (m_p >= m_end || *m_p != '<')
            return false;
        bool seenRoot = false;
        int partsSeen = 0;
        bool headerSeen = false;
        bool bodySeen = false;
        bool inBody = false;
        bool inHeader = false;
        bool responseSeen = false;
        int responseChildren = 0;
        Child current;
        bool inChild = false;
        Child sole;
        while (m_p < m_end) {
            if (*m_p != '<') {
                std::string_view text;
                bool blank;
                if (!charData(text, blank))
                    return false;
                if (m_open.empty() && !blank)
                    return false; // text outside the root element
                if (inChild && m_open.size() == 4)
                    current.text = text;
                continue;
            }
            ++m_p;
            if (m_p < m_end && (*m_p == '!' || *m_p == '?'))
                return false; // comment, CDATA, DOCTYPE, processing instruction
            if (m_p < m_end && *m_p == '/') {
                ++m_p;
                if (m_open.empty())
                    return false;
                Name end;
                if (!name(end) || end.qname != m_open.back())
                    return false;
                skipSpace();
                if (!literal(">"))
                    return false;
                if (inChild && m_open.size() == 4) {
                    inChild = false;
                    if (responseChildren == 1)
                        sole = current;
                    if (!m_chosenFound && current.simple && m_currentMatches) {
                        m_chosenFound = true;
                        m_chosen = current.text;
                    } else if (!m_chosenFound && m_currentMatches) {
                        return false; // the return element needs the DOM
                    }
                }
                if (inBody && m_open.size() == 3 && m_responseOpen) {
                    m_responseOpen = false;
                    if (responseChildren == 1) {
                        if (!sole.simple)
                            return false;
                        m_chosenFound = true;
                        m_chosen = sole.text;
                    }
                }
                if (m_open.size() == 2)
                    inBody = inHeader = false;
                endElement();
                continue;
            }
            if (seenRoot && m_open.empty())
                return false; // a second root element
            if (int(m_open.size()) >= SoapXml::MaxDepth)
                return false;
            Name element;
            bool empty;
            bool hasHref;
            if (!startTag(element, empty, hasHref))
                return false;
            m_open.push_back(element.qname);
            const std::size_t depth = m_open.size();
            if (depth == 1) {
                seenRoot = true;
                if (element.local != "Envelope" ||
                    namespaceOf(element.prefix) != "http://schemas.xmlsoap.org/soap/envelope/")
                    return false;
            } else if (depth == 2) {
                ++partsSeen;
                if (element.local == "Header") {
                    if (headerSeen)
                        return false;
                    headerSeen = true;
                    inHeader = true;
                } else if (element.local == "Body") {
                    if (bodySeen)
                        return false;
                    bodySeen = true;
                    inBody = true;
                }
            } else if (depth == 3) {
                if (inHeader)
                    return false; // header entries: the DOM reader checks them
                if (inBody && !responseSeen) {
                    responseSeen = true;
                    if (element.local == "Fault")
                        return false;
                    m_responseOpen = !empty;
                }
            } else if (depth == 4 && m_responseOpen) {
                ++responseChildren;
                inChild = true;
                current = Child{};
                current.simple = !hasHref;
                m_currentMatches = returnNameMatches(element.local);
            } else if (depth == 5 && inChild) {
                current.simple = false; // markup inside the return element
            }
            if (empty) {
                // Closes at once: the same as an end tag.
                if (inChild && depth == 4) {
                    inChild = false;
                    if (responseChildren == 1)
                        sole = current;
                    if (!m_chosenFound && m_currentMatches) {
                        if (!current.simple)
                            return false;
                        m_chosenFound = true;
                        m_chosen = current.text;
                    }
                }
                if (depth == 2)
                    inBody = inHeader = false;
                endElement();
            }
        }
        if (!m_open.empty() || !seenRoot || partsSeen == 0 || !bodySeen || !responseSeen)
            return false;
        if (m_responseOpen)
            return false;
        return true;
    }

    static void appendUtf8(QByteArray& out, char32_t c)
    {
        if (c < 0x80) {
            out.append(char(c));
        } else if (c < 0x800) {
            out.append(char(0xC0 | (c >> 6)));
            out.append(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.append(char(0xE0 | (c >> 12)));
            out.append(char(0x80 | ((c >> 6) & 0x3F)));
            out.append(char(0x80 | (c & 0x3F)));
        } else {
            out.append(char(0xF0 | (c >> 18)));
            out.append(char(0x80 | ((c >> 12) & 0x3F)));
            out.append(char(0x80 | ((c >> 6) & 0x3F)));
            out.append(char(0x80 | (c & 0x3F)));
        }
    }

    // The checked text with references resolved and line ends normalised.
    static QString decodeText(std::string_view text)
    {
        if (text.find_first_of("&\r") == std::string_view::npos)
            return QString::fromUtf8(text.data(), qsizetype(text.size()));
        QByteArray out;
        out.reserve(qsizetype(text.size()));
        const char* p = text.data();
        const char* end = p + text.size();
        while (p < end) {
            const char* run = p;
            while (p < end && *p != '&' && *p != '\r')
                ++p;
            if (p > run)
                out.append(run, qsizetype(p - run));
            if (p >= end)
                break;
            if (*p == '\r') {
                out.append('\n');
                ++p;
                if (p < end && *p == '\n')
                    ++p;
                continue;
            }
            char32_t c = 0;
            reference(p, end, &c);
            appendUtf8(out, c);
        }
        return QString::fromUtf8(out);
    }

    const char* m_p;
    const char* m_end;
    const QStringList& m_returnNames;
    std::vector<std::string_view> m_open;
    std::vector<Binding> m_bindings;
    bool m_responseOpen = false;
    bool m_currentMatches = false;
    bool m_chosenFound = false;
    std::string_view m_chosen;
};

} // namespace

namespace ReplyReader {

QString readResult(const QByteArray& reply, const QStringList& returnNames)
{
    if (std::optional<QString> text = FastReply(reply, returnNames).read())
        return *std::move(text);
    return readResultThroughDom(reply, returnNames);
}

QString readResultThroughDom(const QByteArray& reply, const QStringList& returnNames)
{
    Response r;
    open(reply, r);
    const QList<QDomElement> children = elementChildren(r.element);
    QDomElement ret;
    if (children.size() == 1) {
        ret = children.first();
    } else {
        for (const QDomElement& child : children) {
            const QString name = localName(child);
            for (const QString& wanted : returnNames) {
                if (name.compare(wanted, Qt::CaseInsensitive) == 0) {
                    ret = child;
                    break;
                }
            }
            if (!ret.isNull())
                break;
        }
    }
    if (ret.isNull())
        throw TarquellError(SoapMessages::resultExpected(xmlOf(r.element)));
    return text(resolved(r, ret));
}

QHash<QString, SoapObject> readOutParams(const QByteArray& reply, const QList<ParamInfo>& params)
{
    Response r;
    open(reply, r);
    QHash<QString, SoapObject> filled;
    for (const QDomElement& child : elementChildren(r.element)) {
        const QString name = localName(child);
        const ParamInfo* param = nullptr;
        for (const ParamInfo& p : params) {
            if (p.type && p.name == name && !filled.contains(name)) {
                param = &p;
                break;
            }
        }
        if (!param)
            continue;
        const QDomElement record = resolved(r, child);
        SoapObject object;
        object.type = param->type;
        for (const QString& property : param->type->properties) {
            const QDomElement member = firstElementChild(record, property, Qt::CaseInsensitive);
            object.values.append(
                {property, member.isNull() ? QString() : text(resolved(r, member))});
        }
        filled.insert(name, object);
    }
    return filled;
}

} // namespace ReplyReader
