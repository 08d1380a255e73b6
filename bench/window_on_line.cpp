// The main window with its port open, as after a successful start-up, but
// without the panel search and the password dialog: opens the first device
// of KV4810G_PORTS through "Open port". For bench/babble_memory.py.
#include "frmmain.h"

#include <QAction>
#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    frmmain window;
    window.InitialiseRecord();
    window.findChild<QAction *>(QStringLiteral("open_com"))->trigger();
    if (!window.session().link().isOpen())
        return 1;
    window.show();
    return app.exec();
}
