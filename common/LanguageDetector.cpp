#include "common/LanguageDetector.h"

#include <algorithm>
#include <cld2/public/compact_lang_det.h>
#include <cld2/public/encodings.h>

namespace {
// CLD2's languages that are one of the ten; traditional Chinese counts as
// Chinese.
const char* codeOf(CLD2::Language language)
{
    switch (language) {
    case CLD2::ENGLISH:
        return "en";
    case CLD2::FRENCH:
        return "fr";
    case CLD2::GERMAN:
        return "de";
    case CLD2::SPANISH:
        return "es";
    case CLD2::ITALIAN:
        return "it";
    case CLD2::PORTUGUESE:
        return "pt";
    case CLD2::RUSSIAN:
        return "ru";
    case CLD2::CHINESE:
    case CLD2::CHINESE_T:
        return "zh";
    case CLD2::KOREAN:
        return "ko";
    case CLD2::JAPANESE:
        return "ja";
    default:
        return nullptr;
    }
}

struct Summary
{
    CLD2::Language language3[3] = {CLD2::UNKNOWN_LANGUAGE, CLD2::UNKNOWN_LANGUAGE,
                                   CLD2::UNKNOWN_LANGUAGE};
    int percent3[3] = {};
    bool reliable = false;
};

Summary summarise(const QByteArray& utf8, bool html, int flags)
{
    Summary s;
    const CLD2::CLDHints hints{nullptr, nullptr, CLD2::UNKNOWN_ENCODING, CLD2::UNKNOWN_LANGUAGE};
    double normalized3[3];
    int textBytes = 0;
    int validBytes = 0;
    CLD2::ExtDetectLanguageSummaryCheckUTF8(utf8.constData(), static_cast<int>(utf8.size()), !html,
                                            &hints, flags, s.language3, s.percent3, normalized3,
                                            nullptr, &textBytes, &s.reliable, &validBytes);
    if (textBytes == 0)
        s.reliable = false;
    return s;
}

QList<LanguageDetector::Guess> guesses(const Summary& s, double weight)
{
    QList<LanguageDetector::Guess> found;
    for (int i = 0; i < 3; ++i) {
        const char* code = codeOf(s.language3[i]);
        if (!code || s.percent3[i] <= 0)
            continue;
        const QString c = QLatin1String(code);
        const auto same =
            std::find_if(found.begin(), found.end(),
                         [&](const LanguageDetector::Guess& g) { return g.code == c; });
        if (same != found.end())
            same->confidence += s.percent3[i] * weight;
        else
            found.append({c, s.percent3[i] * weight});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.confidence > b.confidence; });
    return found;
}
} // namespace

QList<LanguageDetector::Guess> LanguageDetector::detect(const QString& text, bool html)
{
    QString head = text.left(readChars);
    if (!head.isEmpty() && head.back().isHighSurrogate())
        head.chop(1);
    // Unpaired surrogates become U+FFFD here, so CLD2 always gets valid
    // UTF-8.
    const QByteArray utf8 = head.toUtf8();
    if (utf8.isEmpty())
        return {};
    // A sure answer first; a short text often has none, and then CLD2's
    // best effort is the better guess.
    const Summary sure = summarise(utf8, html, 0);
    if (sure.reliable && codeOf(sure.language3[0]))
        return guesses(sure, 1.0);
    return guesses(summarise(utf8, html, CLD2::kCLDFlagBestEffort), 0.5);
}
