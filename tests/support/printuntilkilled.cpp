// A print job killed half-way: draws a page and a half of text into PDF-FOLDER, then is killed before the
// job ends, as a bridge killed while printing is. Usage: print-until-killed PDF-FOLDER
#include "print/qtprintsurface.h"

#include <QGuiApplication>

#include <csignal>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    orvane::QtPrintSurface surface(orvane::QtPrintSurface::Target::Pdf, app.arguments().value(1));
    surface.setDocumentName(QStringLiteral("statement"));
    for (int line = 0; line < 60; ++line)
        surface.print(QStringLiteral("line %1").arg(line));
    surface.newPage();
    surface.print(QStringLiteral("the second page"));
    std::raise(SIGKILL);
}
