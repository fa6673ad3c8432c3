#include "app/main_window.h"
#include "dialogs/recovery_dialog.h"
#include "documents/recovery_store.h"
#include "platform/qt_services.h"
#include "platform/termination_watch.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>

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
    window.keepRecoveryIn(holvane::RecoveryStore::defaultFolder());

    // The argument is the whole text after the program's name; the shell has
    // already split it at blanks, so the pieces are joined again.
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    window.openFromCommandLine(arguments.join(u' '));
    window.show();

    // Asked inside the event loop, so that a signal that ends the program
    // while the question is open ends it.
    holvane::DialogRecoveryQuestion question;
    QTimer::singleShot(0, &window, [&] { window.offerRecoveredDocuments(question); });
    holvane::TerminationWatch watch([&window] { window.bringRecoveryUpToDate(); }, [&window] { window.quit(); });
    return QApplication::exec();
}
