#include "app/console_application.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    mivo::ConsoleApplication console;
    console.window().show();
    return app.exec();
}
