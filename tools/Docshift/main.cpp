// Docshift "<document>": converts the document to Result.rtf in the
// working folder and then creates Result.000; on failure Result.err holds
// the reason.
#include "Conversion.h"
#include "platform/ConfigPaths.h"

#include <QGuiApplication>

int main(int argc, char** argv)
{
    // No window is ever shown; the fonts of the HTML importer still need a
    // platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    return Docshift::run(args.size() > 1 ? args[1] : QString(), ConfigPaths::workingFolder());
}
