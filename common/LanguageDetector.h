#pragma once

#include <QList>
#include <QString>

// Which of the program's ten languages a text is written in. Chrome's
// Compact Language Detector 2 (CLD2, Debian's libcld2) reads the text; it
// was chosen over LibreOffice's libexttextcat by its accuracy on short
// sentences and phrases of the ten languages (bench_detect measures both).
// Safe to call from several threads at once.
namespace LanguageDetector {
struct Guess
{
    QString code;      // "en", "fr", ... one of ServiceLanguages::codes()
    double confidence; // 0..100
    bool operator==(const Guess&) const = default;
};

// Only the first this many characters are read: a few hundred are plenty
// for a language, and detection time stays bounded whatever arrives.
constexpr qsizetype readChars = 16 * 1024;

// The languages of the text, best first, among the ten; empty when the text
// has no letters or is in none of them. The confidence is CLD2's share of
// the text in that language; a best-effort guess on a text too short for a
// sure answer gets half of it. html: markup is skipped.
QList<Guess> detect(const QString& text, bool html = false);
} // namespace LanguageDetector
