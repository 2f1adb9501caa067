#pragma once

#include <QByteArray>
#include <QString>

// The Viewer's page: the destination pane written as a small web page that
// declares the character set of the destination language, so that Glyphwell
// can show Russian, Chinese, Korean and Japanese text whatever the panes do.
// Pure functions: text in, bytes out, and back.

// The charset name the page declares for a destination language code: empty
// for a code outside the ten languages (the empty code included).
QString PageCharset(const QString& dstLangCode);

// The page's first line, exactly:
//   <META content="text/html; charset=NAME" http-equiv=Content-type> CR LF
QByteArray pageHeader(const QString& charset);

// Result.txt: the plain text in UTF-8, its lines separated by CR LF.
QByteArray resultText(const QString& plainText);

// Result.htm: the header line, then the plain text up to its first Ctrl+Z,
// with "&", "<" and ">" escaped and "<br>" at each line end, encoded in the
// declared charset (UTF-8 when the name is empty). A character the charset
// cannot hold becomes a numeric character reference, so nothing turns into
// question marks.
QByteArray viewerPage(const QString& plainText, const QString& charset);

// The text in the named charset, characters it lacks as "&#N;". A charset
// that this build cannot encode keeps ASCII and writes every other character
// as a reference, which reads the same in any charset that extends ASCII.
QByteArray encodeWithReferences(const QString& text, const QString& charset);

// A page read back, as Glyphwell reads it.
struct ViewerPageContent
{
    QString charset;      // as the header declares it; empty: UTF-8
    QString body;         // the HTML after the header line, decoded
    bool decoded = false; // false: the declared charset is unknown here
};
ViewerPageContent readViewerPage(const QByteArray& page);
