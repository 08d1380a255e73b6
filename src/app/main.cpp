#include "commandline.h"
#include "frmmain.h"
#include "programend.h"
#ifdef Q_OS_UNIX
#include "quitsignals.h"
#endif

#include <QApplication>
#include <QScreen>

int main(int argc, char *argv[])
{
    // --help and --version need no display.
    const int answered = CommandLine::answerInformation(argc, argv);
    if (answered >= 0)
        return answered;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("7158K"));
    frmmain window;
#ifdef Q_OS_UNIX
    // Ctrl+C and the like end the program as Exit does: port closed, lock gone.
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, [] { ProgramEnd::EndProgram(); });
#endif
    int exitCode = 0;
    if (!CommandLine::apply(QApplication::arguments(), window.session().trace(), &exitCode))
        return exitCode;
    if (!window.Form_Load())
        return 0;
    const QRect screen = window.screen()->availableGeometry();
    window.move(screen.center() - window.rect().center());
    window.show();
    return app.exec();
}
