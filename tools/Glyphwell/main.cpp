// Glyphwell: shows the Viewer's page of the translation, Result.htm in the
// working folder, in a window of its own. It takes no arguments.
#include "tools/Glyphwell/GlyphwellWindow.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glyphwell"));
    GlyphwellWindow window(GlyphwellWindow::defaultPagePath());
    window.show();
    return QApplication::exec();
}
