#pragma once

// What ends the program without its own menus, and how it gets a moment to
// save first:
//  - SIGTERM (a shutdown, systemd at logout, kill), SIGHUP (the terminal or
//    session went away) and SIGINT (Ctrl+C): the handler only writes to a
//    pipe; the event loop then saves and ends the program the ordinary way.
//    A second signal meanwhile ends it at once, as the system default does.
//  - A lost display. Qt 6.4's xcb plugin says "The X11 connection broke
//    (error N). Did the X11 server die?" with qWarning on the main thread
//    and calls exit(1). Its wayland plugin says "The Wayland connection
//    broke. Did the Wayland compositor die?" (or "...experienced a fatal
//    error") and calls _exit(1), which runs no atexit handler, on the main
//    thread or on its own event thread, whichever notices first (checked
//    by killing Xvfb and weston under a running program). So the message
//    handler saves when it sees either message; on another thread it has
//    the main thread save and waits for that, a few seconds at most.
//  - qFatal, and exit() called by anything else: saved from the message
//    handler and an atexit handler, the same way.
// SIGKILL, a power cut or a crash give no moment: what was written before
// is what is left.
#include <QObject>

#include <functional>

class QSocketNotifier;

namespace holvane {

class TerminationWatch : public QObject {
    Q_OBJECT
public:
    // `save` runs on the main thread, at most once at a time; `end` ends the
    // program the ordinary way after a signal. One watch at a time.
    TerminationWatch(std::function<void()> save, std::function<void()> end, QObject *parent = nullptr);
    ~TerminationWatch() override;

private:
    friend struct TerminationHooks;
    void signalled();

    std::function<void()> m_save;
    std::function<void()> m_end;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace holvane
