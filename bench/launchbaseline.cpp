// The baseline of the start-up benchmark: the tool's form and pictures with no logic behind
// them, ending once the window has been painted.

#include "quitafterexpose.h"
#include "ui_main_frm.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    quillon::Ui::main_frm form;
    form.setupUi(&window);
    window.show();
    quillon::QuitAfterExpose quit(window);
    return app.exec();
}
