// Zelmar: starts the explorer window, or with "--" options runs the command
// line (a picture or a zoom sequence drawn without any window or display).
#include <QApplication>
#include <QCoreApplication>

#include <string>
#include <vector>

#include "explorer/form1.h"
#include "explorer/headless/command_line.h"
#include "explorer/headless/run_command_line.h"
#include "toolkit/runtime_error.h"

int main(int argc, char* argv[])
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (explorer::headless::WantsCommandLine(args)) {
        // A core application only: nothing here may need a display.
        QCoreApplication app(argc, argv);
        return explorer::headless::RunCommandLine(args);
    }
    QApplication app(argc, argv);
    explorer::Form1 form;
    tk::guarded([&] { form.Form_Load(); });
    form.Picture1->setFocus();
    form.show();
    return app.exec();
}
