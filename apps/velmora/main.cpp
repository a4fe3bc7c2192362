#include "app/DesktopProgram.h"
#include "catalogue/DataFolder.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(datafolder::ApplicationTitle);
    QApplication::setApplicationVersion(QStringLiteral("0.1.0"));
    QGuiApplication::setDesktopFileName(QStringLiteral("velmora")); // the Wayland app id: our menu entry
    QApplication::setQuitOnLastWindowClosed(false); // the tray keeps it running
    DesktopProgram::Options options;
    QString error;
    const QStringList arguments = QApplication::arguments();
    if (arguments.contains(QStringLiteral("--help"))) {
        std::fputs(qPrintable(DesktopProgram::usage()), stdout);
        return 0;
    }
    if (!DesktopProgram::parse(arguments, options, &error)) {
        std::fprintf(stderr, "velmora: %s\n%s", qPrintable(error), qPrintable(DesktopProgram::usage()));
        return 2;
    }
    DesktopProgram program(options);
    return program.run();
}
