#include "app/main_window.h"
#include "platform/qt_services.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("holvane"));

    holvane::QtDialogBackend dialogs;
    holvane::QtClipboard clipboard;
    holvane::SystemClock clock;
    holvane::QtBeeper beeper;
    holvane::QtMessageBoxes messages;
    holvane::MainWindow window({dialogs, clipboard, clock, beeper, messages});

    // The argument is the whole text after the program's name; the shell has
    // already split it at blanks, so the pieces are joined again.
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    window.openFromCommandLine(arguments.join(u' '));
    window.show();
    return QApplication::exec();
}
