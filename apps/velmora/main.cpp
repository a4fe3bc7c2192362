#include "app/DesktopProgram.h"
#include "catalogue/DataFolder.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // Before the application: --help needs no display.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(qPrintable(DesktopProgram::usage()), stdout);
            return 0;
        }
    QApplication app(argc, argv);
    QApplication::setApplicationName(datafolder::ApplicationTitle);
    QApplication::setApplicationVersion(QStringLiteral("0.1.0"));
    QGuiApplication::setDesktopFileName(QStringLiteral("velmora")); // the Wayland app id: our menu entry
    QApplication::setQuitOnLastWindowClosed(false); // the tray keeps it running
    DesktopProgram::Options options;
    QString error;
    const QStringList arguments = QApplication::arguments();
    if (!DesktopProgram::parse(arguments, options, &error)) {
        std::fprintf(stderr, "velmora: %s\n%s", qPrintable(error), qPrintable(DesktopProgram::usage()));
        return 2;
    }
    DesktopProgram program(options);
    return program.run();
}
