// interest: starts the loan calculator window.
#include <QApplication>

#include "calculator/form1.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    calculator::Form1 form;
    form.start();
    return app.exec();
}
