#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// How LibreOffice is started to convert a document, for Docshift and the
// service alike: the one lookup of soffice, the import filter of the type
// the document was declared as (so that LibreOffice does not guess another
// one from its content), a private profile whose settings load nothing a
// document links to and run no macros, and no network where the system
// lets a process have a network namespace of its own.
namespace OfficeLaunch {

// soffice, or an empty string when LibreOffice is not installed.
QString program();

// LibreOffice's import filter for a document of this extension ("doc" ->
// "MS Word 97"); empty for a type that is not given to LibreOffice.
QString inputFilter(const QString& extension);

// Writes the profile's settings: linked images, OLE links and linked
// sections never load, content from untrusted places is blocked, macros do
// not run, and anything that still asks the network goes to a proxy that
// does not answer. Written before every start, so that nothing a previous
// run left in the profile counts. False when the folder cannot be written.
bool prepareProfile(const QString& profile);

// The settings file's text, as prepareProfile writes it.
QByteArray profileSettings();

// Whether LibreOffice can be run in a network namespace of its own here
// (unshare(1) without privileges); asked of the system once.
bool canIsolateNetwork();

struct Command
{
    QString program;
    QStringList arguments;
    bool isolated = false; // in a network namespace of its own
};

// The command that converts `input` into `outDir` as `target` (LibreOffice's
// --convert-to, "docx:MS Word 2007 XML") with the import filter `filter`.
// Run in a network namespace where canIsolateNetwork() and `isolate`.
Command convertCommand(const QString& soffice, const QString& profile, const QString& filter,
                       const QString& target, const QString& outDir, const QString& input,
                       bool isolate = true);

// Why a conversion failed, from what soffice wrote, in words for the user
// and without the paths of scratch files or process ids: only what the
// caller sent may be named back.
QString failureReason(const QByteArray& output);

} // namespace OfficeLaunch
