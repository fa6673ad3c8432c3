#include "platform/termination_watch.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace holvane {
namespace {

bool saysDisplayIsLost(const QString &message)
{
    return message.startsWith(QLatin1String("The X11 connection broke"))
           || message.startsWith(QLatin1String("The Wayland connection broke"))
           || message.startsWith(QLatin1String("The Wayland connection experienced a fatal error"));
}

} // namespace

struct TerminationHooks {
    static constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
    static inline int pipe[2] = {-1, -1};
    static inline TerminationWatch *watch = nullptr;
    static inline QtMessageHandler previous = nullptr;
    static inline bool saving = false;
    static inline bool atExitInstalled = false;

    static void onSignal(int)
    {
        const int saved = errno;
        const char byte = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(pipe[1], &byte, 1);
        errno = saved;
    }

    static bool onMainThread()
    {
        const QCoreApplication *app = QCoreApplication::instance();
        return app && QThread::currentThread() == app->thread();
    }

    static void save()
    {
        if (!watch || saving)
            return;
        saving = true;
        watch->m_save();
        saving = false;
    }

    // The program is about to end on whichever thread says so; only the main
    // thread may touch the document. Qt's wayland plugin reads the display
    // on a thread of its own and may find the connection gone there: the
    // main thread, most likely waiting for events, is asked to save, and
    // the end waits for it a little, never for good.
    static void saveFromAnyThread()
    {
        if (onMainThread()) {
            save();
            return;
        }
        TerminationWatch *current = watch;
        if (!current)
            return;
        auto done = std::make_shared<QSemaphore>();
        QMetaObject::invokeMethod(current, [done] { save(); done->release(); }, Qt::QueuedConnection);
        done->tryAcquire(1, 5000);
    }

    static void onMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (type == QtFatalMsg || (type == QtWarningMsg && saysDisplayIsLost(message)))
            saveFromAnyThread();
        if (previous)
            previous(type, context, message);
    }

    static void atExit() { saveFromAnyThread(); }
};

TerminationWatch::TerminationWatch(std::function<void()> save, std::function<void()> end, QObject *parent)
    : QObject(parent), m_save(std::move(save)), m_end(std::move(end))
{
    Q_ASSERT(!TerminationHooks::watch);
    TerminationHooks::watch = this;
    if (::pipe2(TerminationHooks::pipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_notifier = new QSocketNotifier(TerminationHooks::pipe[0], QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &TerminationWatch::signalled);
        struct sigaction action {};
        action.sa_handler = TerminationHooks::onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART | SA_RESETHAND;
        for (const int signal : TerminationHooks::kSignals)
            ::sigaction(signal, &action, nullptr);
    }
    TerminationHooks::previous = qInstallMessageHandler(TerminationHooks::onMessage);
    if (!std::exchange(TerminationHooks::atExitInstalled, true))
        std::atexit(TerminationHooks::atExit);
}

TerminationWatch::~TerminationWatch()
{
    qInstallMessageHandler(TerminationHooks::previous);
    if (m_notifier) {
        for (const int signal : TerminationHooks::kSignals)
            ::signal(signal, SIG_DFL);
        delete m_notifier;
        ::close(TerminationHooks::pipe[0]);
        ::close(TerminationHooks::pipe[1]);
        TerminationHooks::pipe[0] = TerminationHooks::pipe[1] = -1;
    }
    TerminationHooks::watch = nullptr;
}

void TerminationWatch::signalled()
{
    char bytes[16];
    while (::read(TerminationHooks::pipe[0], bytes, sizeof bytes) > 0) {
    }
    TerminationHooks::save();
    m_end();
}

} // namespace holvane
