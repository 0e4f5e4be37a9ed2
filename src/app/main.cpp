// kelvor: the program entry. The application is set up, the modules are created in their order
// and the window's message loop runs.
#include <QApplication>

#include "app/Program.h"
#include "core/shell/About.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(kelvor::about::kProductName);
    QApplication::setOrganizationName(kelvor::about::kMaker);
    kelvor::app::ProgramOptions options;
    for (int i = 1; i < argc; ++i)
        options.Arguments.emplace_back(argv[i]);
    kelvor::app::Program program(std::move(options));
    program.Window().show();
    return QApplication::exec();
}
