#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// HTML to and from Apertium's stream format, done here in one pass rather
// than by apertium-deshtml, which takes quadratic time on a tag that never
// closes. The stream is the one apertium-deshtml writes for ordinary pages:
// tags, comments, declarations, scripts and styles, character references
// and the blanks around them ride in superblanks; a run of blanks other
// than one space is a superblank; block tags (p, div, li, td, br, the
// headings, ...) and the end of the page get ".[]" before their superblank,
// so that the sentence before them leaves the tagger. A tag ends at the
// first '>'; one that never closes leaves its '<' in a superblank and the
// rest as text.
namespace HtmlStream {
QByteArray deformat(QStringView html);
// The page out of a translated stream: escapes undone, superblanks opened,
// the full stops deformat added before "[]" taken out again.
QString reformat(const QByteArray& stream);
} // namespace HtmlStream
