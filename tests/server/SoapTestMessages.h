#pragma once

#include <QString>
#include <string>

// Request envelopes as SOAP clients write them, and a small reader of the
// replies, for driving the service over raw HTTP.
namespace SoapTestMessages {
std::string escape(const QString& text);

// BabelFish(translationmode, sourcedata) exactly as our client writes it.
std::string babelFish(const QString& mode, const QString& text,
                      const QString& ns = QStringLiteral("urn:BFish-IBabelFish"));
// getTranslation(body) with body as a multi-reference value, as our
// client writes it.
std::string getTranslationMultiRef(const QString& text, const QString& language);
// getTranslation with the record inline and other prefixes, as other
// toolkits write it.
std::string getTranslationInline(const QString& text, const QString& language);
// Any Body content inside a SOAP 1.1 envelope.
std::string envelope(const std::string& bodyContent);

struct Answer
{
    bool wellFormed = false;
    bool fault = false;
    QString faultCode;
    QString faultString;
    // The BabelFish return value, or the text of the getTranslation body.
    QString text;
    QString language;
    QString responseName;
    QString responseNamespace;
};
Answer read(const std::string& body);
} // namespace SoapTestMessages
