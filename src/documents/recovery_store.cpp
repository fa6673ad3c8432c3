#include "documents/recovery_store.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <map>
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

QString reason(int error)
{
    return qt_error_string(error);
}

bool writeAll(int fd, QByteArrayView bytes)
{
    const char *p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, p, size_t(std::min<qsizetype>(left, qsizetype(1) << 30)));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        p += written;
        left -= written;
    }
    return true;
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
        return {nullptr, reason(errno)};
    const int fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {nullptr, reason(errno)};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_uid != ::geteuid() || ((info.st_mode & 077) && ::fchmod(fd, 0700) != 0)) {
        const int error = info.st_uid != ::geteuid() ? EPERM : errno;
        ::close(fd);
        return {nullptr, reason(error)};
    }
    const QString session = QStringLiteral("%1-%2").arg(::getpid()).arg(
        QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
    const int lock = ::openat(fd, encoded(lockNameOf(session)).constData(),
                              O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (lock >= 0)
            ::close(lock);
        ::close(fd);
        return {nullptr, reason(error)};
    }
    return {std::unique_ptr<RecoveryStore>(new RecoveryStore(folder, fd, session, lock)), QString()};
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
    const int fd = ::openat(m_folderFd, temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW,
                            0600);
    if (fd < 0)
        return reason(errno);
    const RecoveryBytes bytes = recoveryBytes(record);
    bool ok = ::fchmod(fd, 0600) == 0 && writeAll(fd, bytes.head) && writeAll(fd, bytes.text)
              && writeAll(fd, bytes.tail) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::renameat(m_folderFd, temporary.constData(), m_folderFd, target.constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlinkat(m_folderFd, temporary.constData(), 0);
        return reason(error);
    }
    ::fsync(m_folderFd); // the rename itself, against a power cut
    return std::nullopt;
}

std::optional<QString> RecoveryStore::remove(const QString &name) const
{
    if (::unlinkat(m_folderFd, encoded(name).constData(), 0) != 0 && errno != ENOENT)
        return reason(errno);
    return std::nullopt;
}

std::optional<QString> RecoveryStore::adopt(const QString &orphanName, const QString &ourName) const
{
    if (::renameat2(m_folderFd, encoded(orphanName).constData(), m_folderFd, encoded(ourName).constData(),
                    RENAME_NOREPLACE)
        != 0)
        return reason(errno);
    ::fsync(m_folderFd);
    return std::nullopt;
}

std::optional<int> RecoveryStore::lockIfGone(const QString &lockName) const
{
    const QByteArray name = encoded(lockName);
    const int fd = ::openat(m_folderFd, name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return std::nullopt;
    // Another program may have removed the file and made a new one while
    // this one opened it: only a lock on the file under the name counts.
    struct stat held {}, named {};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &held) != 0
        || ::fstatat(m_folderFd, name.constData(), &named, AT_SYMLINK_NOFOLLOW) != 0 || held.st_ino != named.st_ino
        || held.st_dev != named.st_dev) {
        ::close(fd);
        return std::nullopt;
    }
    return fd;
}

Orphans RecoveryStore::takeOrphans() const
{
    std::map<QString, std::vector<QString>> recoveries;
    std::map<QString, std::vector<QString>> others; // temporary and lock files
    const QStringList names =
        QDir(m_folder).entryList(QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        const Entry entry = classify(name);
        if (entry.kind == Kind::Other || entry.session == m_session)
            continue;
        (entry.kind == Kind::Recovery ? recoveries : others)[entry.session].push_back(name);
        if (entry.kind == Kind::Recovery)
            others[entry.session]; // so that the session is looked at below
    }

    Orphans orphans;
    orphans.m_store = this;
    for (const auto &[session, files] : others) {
        const auto lock = lockIfGone(lockNameOf(session));
        if (!lock)
            continue; // that program is running, or another one is looking at its files now
        for (const QString &name : files)
            if (classify(name).kind == Kind::Temporary)
                ::unlinkat(m_folderFd, encoded(name).constData(), 0);
        const std::size_t before = orphans.found.size();
        if (const auto it = recoveries.find(session); it != recoveries.end())
            readOrphansOf(it->second, orphans);
        if (orphans.found.size() > before) {
            orphans.m_held.push_back({lockNameOf(session), *lock});
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
    const int fd = ::openat(m_folderFd, name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT)
        return std::nullopt;
    ParsedRecovery parsed; // Damaged, where it cannot be read
    struct stat info {};
    if (fd >= 0 && ::fstat(fd, &info) == 0) {
        if (!S_ISREG(info.st_mode) || info.st_size > kLargestRecovery)
            parsed.problem = RecoveryProblem::NotOurs; // a folder, a FIFO, more than any text the editor held
        else if (const std::optional<QByteArray> bytes = readAll(fd, info.st_size))
            parsed = parseRecovery(*bytes);
    }
    if (fd >= 0)
        ::close(fd);
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
    for (const Held &held : m_held) {
        // A program whose files were all taken or discarded leaves nothing.
        const QString session = held.lockName.chopped(5);
        const QStringList left = QDir(m_store->folder()).entryList(QDir::Files | QDir::System | QDir::Hidden);
        const bool any = std::any_of(left.cbegin(), left.cend(), [&](const QString &name) {
            const Entry entry = classify(name);
            return entry.kind == Kind::Recovery && entry.session == session;
        });
        if (!any)
            ::unlinkat(m_store->m_folderFd, encoded(held.lockName).constData(), 0);
        ::close(held.fd);
    }
    m_held.clear();
}

} // namespace holvane
