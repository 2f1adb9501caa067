#pragma once

#include <QByteArray>
#include <QString>

// The conversion behind Docshift. Failures are TarquellErrors whose message
// says why, in words for the user.
namespace Docshift {

// The document as RTF: RTF as it is, HTML through Qt's HTML importer and
// our RTF writer (loading nothing the page links to), plain text likewise,
// the word-processor types LibreOffice reads through LibreOffice Writer
// without a window, with the filter of the type the content shows. A file
// whose content is not what its name says, and types not known, are
// refused.
QByteArray toRtf(const QString& path);

// LibreOffice's soffice, or an empty string when it is not installed.
QString officeProgram();

// The private LibreOffice profile folder: never the user's own, so that
// conversions run beside an open LibreOffice and leave its settings alone.
QString officeProfile();

// The whole run: writes Result.rtf into the folder (or Result.err with the
// reason), then the marker Result.000. Returns the exit code.
int run(const QString& argument, const QString& folder);

} // namespace Docshift
