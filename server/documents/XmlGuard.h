#pragma once

#include <QByteArray>
#include <QString>

// Checks an XML part before any filter reads it, and again after the
// translation has put it back together: well-formed, no document type
// declaration (so no entities of its own, external or expanding), nesting
// no deeper than maxDepth. Returns what is wrong, or an empty string.
// With `xhtml`, a document type declaration that declares no entities is
// allowed, and so are references to the entities of XHTML's external one
// ("&nbsp;"), which nothing here ever loads or expands.
namespace XmlGuard {
QString problem(const QByteArray& xml, int maxDepth, bool xhtml = false);
// The text of the part (character data only), at most maxChars of it,
// with a space between elements that end a paragraph-like block.
QString text(const QByteArray& xml, qsizetype maxChars);
} // namespace XmlGuard
