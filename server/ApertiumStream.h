#pragma once

#include <QByteArray>
#include <QString>

// Plain text to and from Apertium's stream format, done here rather than by
// apertium-destxt/apertium-retxt so that a request starts no process.
namespace ApertiumStream {
// Escapes the stream's special characters, puts every blank other than a
// single space into a superblank ("[\n\n]") and ends with ".[]": a full
// stop of our own that lets the last sentence leave the tagger, removed
// again by fromStream. NUL characters are dropped: they end a stream.
QByteArray toStream(const QString& text);
// The text of a translated stream: escapes undone, superblanks opened,
// the full stop that toStream added taken out again.
QString fromStream(const QByteArray& stream);
} // namespace ApertiumStream
