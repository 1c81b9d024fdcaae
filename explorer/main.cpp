// Zelmar: starts the explorer window.
#include <QApplication>

#include "explorer/form1.h"
#include "toolkit/runtime_error.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    explorer::Form1 form;
    tk::guarded([&] { form.Form_Load(); });
    form.Picture1->setFocus();
    form.show();
    return app.exec();
}
