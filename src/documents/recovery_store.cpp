#include "documents/recovery_store.h"

#include "documents/posix_io.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace holvane {
namespace {

// A recovery file bigger than this is no text the editor could have held.
constexpr qint64 kLargestRecovery = qint64(1) << 30;

QByteArray encoded(const QString &name)
{
    return QFile::encodeName(name);
}

std::optional<QByteArray> readAll(int fd, qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    qsizetype at = 0;
    while (at < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + at, size_t(bytes.size() - at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        at += got;
    }
    bytes.truncate(at);
    return bytes;
}

// Each folder that is missing is made 0700, as the XDG base directory rules
// ask of their folders.
bool makeFolders(const QString &folder)
{
    const QString clean = QDir::cleanPath(folder);
    for (qsizetype from = 1;;) {
        const qsizetype slash = clean.indexOf(u'/', from);
        const QString part = slash == -1 ? clean : clean.left(slash);
        if (::mkdir(encoded(part).constData(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == -1)
            return true;
        from = slash + 1;
    }
}

QString lockNameOf(const QString &session)
{
    return session + QStringLiteral(".lock");
}

// Which program a file of the folder belongs to, and what it is.
enum class Kind { Lock, Recovery, Temporary, Other };
struct Entry {
    Kind kind = Kind::Other;
    QString session;
};

Entry classify(const QString &name)
{
    static const QRegularExpression recovery(QStringLiteral("^(.+?)(?:-\\d+)?\\.recovery(\\.tmp)?$"));
    if (name.endsWith(QLatin1String(".lock")) && name.size() > 5)
        return {Kind::Lock, name.chopped(5)};
    const QRegularExpressionMatch m = recovery.match(name);
    if (!m.hasMatch())
        return {};
    return {m.capturedLength(2) > 0 ? Kind::Temporary : Kind::Recovery, m.captured(1)};
}

} // namespace

QString RecoveryStore::defaultFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/holvane");
}

RecoveryStore::Opening RecoveryStore::open(const QString &folder)
{
    if (!makeFolders(folder))
        return {nullptr, systemReason(errno)};
    FileDescriptor fd(::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        return {nullptr, systemReason(errno)};
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || info.st_uid != ::geteuid()
        || ((info.st_mode & 077) && ::fchmod(fd.get(), 0700) != 0))
        return {nullptr, systemReason(info.st_uid != ::geteuid() ? EPERM : errno)};
    const QString session = QStringLiteral("%1-%2").arg(::getpid()).arg(
        QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
    FileDescriptor lock(::openat(fd.get(), encoded(lockNameOf(session)).constData(),
                                 O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock.valid() || ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0)
        return {nullptr, systemReason(errno)};
    return {std::unique_ptr<RecoveryStore>(new RecoveryStore(folder, fd.release(), session, lock.release())), QString()};
}

RecoveryStore::RecoveryStore(QString folder, int folderFd, QString session, int lockFd)
    : m_folder(std::move(folder)), m_folderFd(folderFd), m_session(std::move(session)), m_lockFd(lockFd)
{
}

RecoveryStore::~RecoveryStore()
{
    // Removed while still held, so that no program takes a lock on a name
    // that is about to go; recovery files left behind need no lock file.
    ::unlinkat(m_folderFd, encoded(lockNameOf(m_session)).constData(), 0);
    ::close(m_lockFd);
    ::close(m_folderFd);
}

QString RecoveryStore::newDocumentName()
{
    return QStringLiteral("%1-%2.recovery").arg(m_session).arg(++m_documents);
}

std::optional<QString> RecoveryStore::write(const QString &name, const RecoveryRecord &record) const
{
    const QByteArray target = encoded(name);
    const QByteArray temporary = target + ".tmp";
    FileDescriptor fd(::openat(m_folderFd, temporary.constData(),
                               O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.valid())
        return systemReason(errno);
    const RecoveryBytes bytes = recoveryBytes(record);
    Errno error = ::fchmod(fd.get(), 0600) == 0 ? 0 : errno;
    for (const QByteArrayView part : {QByteArrayView(bytes.head), bytes.text, QByteArrayView(bytes.tail)})
        error = error ? error : writeAll(fd.get(), part, -1);
    if (!error && ::fsync(fd.get()) != 0)
        error = errno;
    if (const Errno closing = fd.close(); !error)
        error = closing;
    if (!error && ::renameat(m_folderFd, temporary.constData(), m_folderFd, target.constData()) != 0)
        error = errno;
    if (error) {
        ::unlinkat(m_folderFd, temporary.constData(), 0);
        return systemReason(error);
    }
    ::fsync(m_folderFd); // the rename itself, against a power cut
    return std::nullopt;
}

std::optional<QString> RecoveryStore::remove(const QString &name) const
{
    if (::unlinkat(m_folderFd, encoded(name).constData(), 0) != 0 && errno != ENOENT)
        return systemReason(errno);
    return std::nullopt;
}

std::optional<QString> RecoveryStore::adopt(const QString &orphanName, const QString &ourName) const
{
    if (::renameat2(m_folderFd, encoded(orphanName).constData(), m_folderFd, encoded(ourName).constData(),
                    RENAME_NOREPLACE)
        != 0)
        return systemReason(errno);
    ::fsync(m_folderFd);
    return std::nullopt;
}

std::optional<int> RecoveryStore::lockIfGone(const QString &lockName) const
{
    const QByteArray name = encoded(lockName);
    FileDescriptor fd(::openat(m_folderFd, name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.valid())
        return std::nullopt;
    // Another program may have removed the file and made a new one while
    // this one opened it: only a lock on the file under the name counts.
    struct stat held {}, named {};
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || ::fstat(fd.get(), &held) != 0
        || ::fstatat(m_folderFd, name.constData(), &named, AT_SYMLINK_NOFOLLOW) != 0 || held.st_ino != named.st_ino
        || held.st_dev != named.st_dev)
        return std::nullopt;
    return fd.release();
}

QStringList RecoveryStore::entryNames() const
{
    return QDir(m_folder).entryList(QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

Orphans RecoveryStore::takeOrphans() const
{
    // What each other program left: its lock file alone counts too.
    struct Left {
        std::vector<QString> recoveries, temporaries;
    };
    std::map<QString, Left> sessions;
    for (const QString &name : entryNames()) {
        const Entry entry = classify(name);
        if (entry.kind == Kind::Other || entry.session == m_session)
            continue;
        Left &left = sessions[entry.session];
        if (entry.kind == Kind::Recovery)
            left.recoveries.push_back(name);
        else if (entry.kind == Kind::Temporary)
            left.temporaries.push_back(name);
    }

    Orphans orphans;
    orphans.m_store = this;
    for (const auto &[session, left] : sessions) {
        const auto lock = lockIfGone(lockNameOf(session));
        if (!lock)
            continue; // that program is running, or another one is looking at its files now
        for (const QString &name : left.temporaries)
            ::unlinkat(m_folderFd, encoded(name).constData(), 0);
        const std::size_t before = orphans.found.size();
        readOrphansOf(left.recoveries, orphans);
        if (orphans.found.size() > before) {
            orphans.m_held.push_back({session, *lock});
        } else {
            ::unlinkat(m_folderFd, encoded(lockNameOf(session)).constData(), 0);
            ::close(*lock);
        }
    }
    std::stable_sort(orphans.found.begin(), orphans.found.end(), [](const Orphans::Found &a, const Orphans::Found &b) {
        return a.record.writtenAtMs > b.record.writtenAtMs;
    });
    return orphans;
}

void RecoveryStore::readOrphansOf(const std::vector<QString> &names, Orphans &orphans) const
{
    for (const QString &name : names) {
        std::optional<ParsedRecovery> parsed = readAt(encoded(name));
        if (!parsed)
            continue; // gone meanwhile
        if (parsed->record)
            orphans.found.push_back({name, std::move(*parsed->record)});
        else
            orphans.setAside.push_back({name, setAside(name, parsed->problem), parsed->problem});
    }
}

std::optional<ParsedRecovery> RecoveryStore::readAt(const QByteArray &name) const
{
    const FileDescriptor fd(::openat(m_folderFd, name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.valid() && errno == ENOENT)
        return std::nullopt;
    ParsedRecovery parsed; // Damaged, where it cannot be read
    struct stat info {};
    if (fd.valid() && ::fstat(fd.get(), &info) == 0) {
        if (!S_ISREG(info.st_mode) || info.st_size > kLargestRecovery)
            parsed.problem = RecoveryProblem::NotOurs; // a folder, a FIFO, more than any text the editor held
        else if (const std::optional<QByteArray> bytes = readAll(fd.get(), info.st_size))
            parsed = parseRecovery(*bytes);
    }
    return parsed;
}

QString RecoveryStore::setAside(const QString &name, RecoveryProblem problem) const
{
    // Renamed, never over what an earlier one was renamed to.
    const QString suffix = problem == RecoveryProblem::Newer ? QStringLiteral(".newer") : QStringLiteral(".damaged");
    for (int n = 0; n < 100; ++n) {
        const QString candidate = name + suffix + (n ? QStringLiteral(".%1").arg(n) : QString());
        if (::renameat2(m_folderFd, encoded(name).constData(), m_folderFd, encoded(candidate).constData(),
                        RENAME_NOREPLACE)
            == 0)
            return candidate;
        if (errno != EEXIST)
            break;
    }
    return QString();
}

Orphans::Orphans(Orphans &&other) noexcept
    : found(std::move(other.found)), setAside(std::move(other.setAside)), m_store(std::exchange(other.m_store, nullptr)),
      m_held(std::exchange(other.m_held, {}))
{
}

Orphans &Orphans::operator=(Orphans &&other) noexcept
{
    if (this != &other) {
        release();
        found = std::move(other.found);
        setAside = std::move(other.setAside);
        m_store = std::exchange(other.m_store, nullptr);
        m_held = std::exchange(other.m_held, {});
    }
    return *this;
}

Orphans::~Orphans()
{
    release();
}

void Orphans::release()
{
    if (m_held.empty())
        return;
    // A program whose files were all taken or discarded leaves nothing.
    std::set<QString> withRecoveries;
    for (const QString &name : m_store->entryNames())
        if (const Entry entry = classify(name); entry.kind == Kind::Recovery)
            withRecoveries.insert(entry.session);
    for (const Held &held : m_held) {
        if (!withRecoveries.count(held.session))
            ::unlinkat(m_store->m_folderFd, encoded(lockNameOf(held.session)).constData(), 0);
        ::close(held.fd);
    }
    m_held.clear();
}

} // namespace holvane
