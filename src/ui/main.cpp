// tarvik-gui: the operator's desktop program.

#include <QApplication>
#include <cstdio>

#include "res/StringTable.h"
#include "ui/BrevApp.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);  // takes Qt's own options out of the arguments
    QApplication::setApplicationName("tarvik-gui");
    QApplication::setApplicationVersion(TARVIK_VERSION);
    QApplication::setDesktopFileName("tarvik-gui");

    GuiOptions options;
    std::string error;
    if (!ParseGuiArguments(QApplication::arguments().mid(1), options, error)) {
        std::fprintf(stderr, "%s\n%s\n", error.c_str(), ResString(IDS_GUI_USAGE));
        return 2;
    }
    if (options.help || options.version) {
        std::printf("%s\n", options.help ? ResString(IDS_GUI_USAGE) : "tarvik-gui " TARVIK_VERSION);
        return 0;
    }
    CBrevApp brev(options);
    if (!brev.InitInstance())
        return 1;
    return QApplication::exec();
}
