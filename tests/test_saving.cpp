// Saving a document: a failed save leaves the old file whole and says why in
// the system's words, and a save changes nothing about the file but its text
// (mode bits, owner, group, ACL, extended attributes, links).
#include "documents/document_file.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace holvane;

namespace {

QByteArray encoded(const QString &path) { return QFile::encodeName(path); }

// What a save answered, in words a failure can show.
QString outcome(const std::optional<QString> &reason) { return reason.value_or(QStringLiteral("(saved)")); }
const QString kSaved = QStringLiteral("(saved)");

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot set the scene: %s", qPrintable(path));
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// A page of `size` bytes that shows where a foreign byte came from.
QByteArray page(const char *line, qsizetype size)
{
    QByteArray out;
    for (int n = 0; out.size() < size; ++n)
        out += QByteArray(line) + QByteArray::number(n) + "\r\n";
    out.truncate(size);
    return out;
}

ino_t inodeOf(const QString &path)
{
    struct stat info {};
    return ::stat(encoded(path).constData(), &info) == 0 ? info.st_ino : 0;
}

const passwd &nobody()
{
    static const passwd *user = ::getpwnam("nobody");
    if (!user)
        qFatal("no user nobody");
    return *user;
}

void chownOrDie(const QString &path, uid_t uid, gid_t gid)
{
    if (::lchown(encoded(path).constData(), uid, gid) != 0)
        qFatal("cannot set the scene: chown %s", qPrintable(path));
}

void chmodOrDie(const QString &path, mode_t mode)
{
    if (::chmod(encoded(path).constData(), mode) != 0)
        qFatal("cannot set the scene: chmod %s", qPrintable(path));
}

// Saves as `nobody` in a child process; the reason comes back through a pipe.
std::optional<QString> saveAsNobody(const QString &path, const QByteArray &bytes)
{
    int fds[2];
    if (::pipe(fds) != 0)
        qFatal("pipe");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        QByteArray answer("!");
        if (::setgroups(0, nullptr) == 0 && ::setresgid(nobody().pw_gid, nobody().pw_gid, nobody().pw_gid) == 0
            && ::setresuid(nobody().pw_uid, nobody().pw_uid, nobody().pw_uid) == 0) {
            const std::optional<QString> reason = writeDocument(path, bytes);
            answer = reason ? "-" + reason->toUtf8() : QByteArray("+");
        }
        ::_exit(::write(fds[1], answer.constData(), size_t(answer.size())) == answer.size() ? 0 : 1);
    }
    ::close(fds[1]);
    QByteArray answer;
    char buffer[512];
    for (ssize_t got; (got = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, got);
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    if (answer == "+")
        return std::nullopt;
    return answer.startsWith('-') ? QString::fromUtf8(answer.mid(1)) : QStringLiteral("(could not become nobody)");
}

// A POSIX ACL as the kernel stores it in system.posix_acl_access/_default.
enum AclTag : quint16 { UserObj = 0x01, User = 0x02, GroupObj = 0x04, Mask = 0x10, Other = 0x20 };
struct AclEntry {
    AclTag tag;
    quint16 perm;
    quint32 id = quint32(-1);
};

QByteArray acl(std::initializer_list<AclEntry> entries)
{
    QByteArray out(4 + 8 * qsizetype(entries.size()), '\0');
    qToLittleEndian<quint32>(2, out.data());
    char *p = out.data() + 4;
    for (const AclEntry &e : entries) {
        qToLittleEndian<quint16>(e.tag, p);
        qToLittleEndian<quint16>(e.perm, p + 2);
        qToLittleEndian<quint32>(e.id, p + 4);
        p += 8;
    }
    return out;
}

bool setAttribute(const QString &path, const char *name, const QByteArray &value)
{
    return ::setxattr(encoded(path).constData(), name, value.constData(), size_t(value.size()), 0) == 0;
}

// Everything about a file that a save must keep, in words a failure can show.
QString identity(const QString &path)
{
    struct stat info {};
    if (::stat(encoded(path).constData(), &info) != 0)
        return QStringLiteral("(missing)");
    QString out = QStringLiteral("mode %1 owner %2:%3 links %4")
                      .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'))
                      .arg(info.st_uid)
                      .arg(info.st_gid)
                      .arg(info.st_nlink);
    char names[4096];
    const ssize_t size = ::listxattr(encoded(path).constData(), names, sizeof names);
    QStringList attributes;
    for (const char *name = names; size > 0 && name < names + size; name += std::strlen(name) + 1) {
        char value[1024];
        const ssize_t got = ::getxattr(encoded(path).constData(), name, value, sizeof value);
        attributes << QLatin1String(name) + u'=' + QByteArray(value, qMax<ssize_t>(got, 0)).toHex();
    }
    attributes.sort();
    return out + u' ' + attributes.join(u' ');
}

// A file system mounted for one test, gone with it.
class ScratchMount {
public:
    // A tmpfs of `size`, or, with `ext2Image` set, an ext2 of that size on a
    // loop device: ext2 has no fallocate.
    ScratchMount(const QString &mountPoint, const QByteArray &size, const QString &ext2Image = QString())
        : m_point(mountPoint)
    {
        QDir().mkpath(m_point);
        if (ext2Image.isEmpty()) {
            m_mounted = ::mount("tmpfs", encoded(m_point).constData(), "tmpfs", 0, ("size=" + size).constData()) == 0;
            return;
        }
        const QString mkfs = QStandardPaths::findExecutable(QStringLiteral("mkfs.ext2"),
                                                            {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        QFile image(ext2Image);
        if (mkfs.isEmpty() || !image.open(QIODevice::WriteOnly) || !image.resize(size.toLongLong()))
            return;
        image.close();
        m_mounted = QProcess::execute(mkfs, {"-q", "-F", "-b", "1024", ext2Image}) == 0
                    && QProcess::execute(QStringLiteral("mount"), {"-o", "loop", ext2Image, m_point}) == 0;
    }
    ~ScratchMount()
    {
        if (m_mounted)
            ::umount2(encoded(m_point).constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }

private:
    QString m_point;
    bool m_mounted = false;
};

// Takes the last free block of the file system holding `path`, then gives
// back `leave` bytes.
void fillUp(const QString &path, off_t leave)
{
    const int fd = ::open(encoded(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        qFatal("cannot set the scene: filling %s", qPrintable(path));
    off_t size = 0;
    for (const size_t chunk : {size_t(65536), size_t(1024), size_t(1)}) {
        const QByteArray block(qsizetype(chunk), 'f');
        for (ssize_t written; (written = ::write(fd, block.constData(), chunk)) > 0;)
            size += written;
    }
    if (::ftruncate(fd, qMax<off_t>(size - leave, 0)) != 0 || ::fsync(fd) != 0)
        qFatal("cannot set the scene: filling %s", qPrintable(path));
    ::close(fd);
}

} // namespace

class SavingTest : public QObject {
    Q_OBJECT
private slots:
    void saveChangesNothingButTheText_data();
    void saveChangesNothingButTheText();
    void inPlaceSaveOutOfSpaceLeavesTheFileWhole_data();
    void inPlaceSaveOutOfSpaceLeavesTheFileWhole();
    void newFilesAreMadeAsAnyOther_data();
    void newFilesAreMadeAsAnyOther();
    void longNamesSaveAgain_data();
    void longNamesSaveAgain();
    void failuresGiveTheSystemsReason_data();
    void failuresGiveTheSystemsReason();
};

enum Scene {
    HardLink = 1 << 0,
    SymLink = 1 << 1,
    SetgidFolder = 1 << 2, // the folder's group is nogroup, the file's root's
    FolderDefaultAcl = 1 << 3, // given to the folder after the file was made
    FileAcl = 1 << 4,
    UserXattr = 1 << 5,
    OwnedByNobody = 1 << 6,
    SavedByNobody = 1 << 7, // who also owns the folder
};

void SavingTest::saveChangesNothingButTheText_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("scene");
    QTest::newRow("plain") << 0640 << 0;
    QTest::newRow("setuid") << 04755 << 0;
    QTest::newRow("setgid") << 02775 << 0;
    QTest::newRow("sticky") << 01644 << 0;
    QTest::newRow("setuid, setgid and sticky") << 07775 << 0;
    QTest::newRow("setgid folder, file in the saving user's group") << 0640 << int(SetgidFolder);
    QTest::newRow("no ACL, folder gained a default ACL") << 0640 << int(FolderDefaultAcl);
    QTest::newRow("own ACL, folder gained a default ACL") << 0640 << int(FileAcl | FolderDefaultAcl);
    QTest::newRow("own ACL") << 0640 << int(FileAcl);
    QTest::newRow("extended attribute") << 0644 << int(UserXattr);
    QTest::newRow("another user's file") << 0644 << int(OwnedByNobody);
    QTest::newRow("another user's setgid file") << 02775 << int(OwnedByNobody);
    QTest::newRow("hard link") << 0644 << int(HardLink);
    QTest::newRow("symbolic link") << 0640 << int(SymLink);
    QTest::newRow("own setgid file, saved by its owner") << 02775 << int(OwnedByNobody | SavedByNobody);
    QTest::newRow("own file, folder's default ACL, saved by its owner")
        << 0640 << int(OwnedByNobody | SavedByNobody | FolderDefaultAcl);
    QTest::newRow("hard-linked setuid file, saved in place by its owner")
        << 04755 << int(OwnedByNobody | SavedByNobody | HardLink);
}

void SavingTest::saveChangesNothingButTheText()
{
    QFETCH(int, mode);
    QFETCH(int, scene);
    if (::geteuid() != 0)
        QSKIP("needs root to set the scene");
    QTemporaryDir top;
    chmodOrDie(top.path(), 0755);
    const QString folder = top.filePath(QStringLiteral("scene"));
    QVERIFY(QDir().mkdir(folder));
    if (scene & SavedByNobody)
        chownOrDie(folder, nobody().pw_uid, nobody().pw_gid);
    if (scene & SetgidFolder) {
        chownOrDie(folder, 0, nobody().pw_gid);
        chmodOrDie(folder, 02775);
    }
    const QString doc = folder + QStringLiteral("/doc.htm");
    writeBytes(doc, "<P>old</P>");
    if (scene & OwnedByNobody)
        chownOrDie(doc, nobody().pw_uid, nobody().pw_gid);
    if (scene & SetgidFolder)
        chownOrDie(doc, 0, 0);
    chmodOrDie(doc, mode_t(mode));
    const QByteArray fileAcl = acl({{UserObj, 6}, {User, 4, nobody().pw_uid}, {GroupObj, 4}, {Mask, 4}, {Other, 0}});
    const QByteArray folderAcl = acl({{UserObj, 7}, {User, 7, nobody().pw_uid}, {GroupObj, 5}, {Mask, 7}, {Other, 5}});
    if ((scene & FileAcl) && !setAttribute(doc, "system.posix_acl_access", fileAcl))
        QSKIP("no POSIX ACLs on this file system");
    if ((scene & FolderDefaultAcl) && !setAttribute(folder, "system.posix_acl_default", folderAcl))
        QSKIP("no POSIX ACLs on this file system");
    if ((scene & UserXattr) && !setAttribute(doc, "user.holvane", "kept"))
        QSKIP("no user extended attributes on this file system");
    const QString other = folder + QStringLiteral("/other.htm");
    if (scene & HardLink)
        QCOMPARE(::link(encoded(doc).constData(), encoded(other).constData()), 0);
    QString saved = doc;
    if (scene & SymLink) {
        QCOMPARE(::symlink("doc.htm", encoded(other).constData()), 0);
        saved = other;
    }

    const QString before = identity(doc);
    const ino_t inode = inodeOf(doc);
    const QByteArray text = "<P>new text</P>\r\n";
    const std::optional<QString> reason =
        (scene & SavedByNobody) ? saveAsNobody(saved, text) : writeDocument(saved, text);
    QCOMPARE(outcome(reason), kSaved);
    QCOMPARE(readBytes(doc), text);
    QCOMPARE(identity(doc), before);
    // Only hard links keep the file from being replaced whole, which no crash can leave half-written.
    QCOMPARE(inodeOf(doc) != inode, !(scene & HardLink));
    if (scene & HardLink)
        QCOMPARE(readBytes(other), text);
    if (scene & SymLink)
        QCOMPARE(QFile::symLinkTarget(other), doc);
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
             (scene & (HardLink | SymLink)) ? 2 : 1); // no temporary file left behind
}

void SavingTest::inPlaceSaveOutOfSpaceLeavesTheFileWhole_data()
{
    QTest::addColumn<int>("free"); // bytes left on the file system when saving
    QTest::newRow("full") << 0;
    QTest::newRow("room for part of the growth") << 65536;
}

// A hard-linked page is written in place; on ext2 nothing reserves the
// space, so the growth must be made before the old text is touched.
void SavingTest::inPlaceSaveOutOfSpaceLeavesTheFileWhole()
{
    QFETCH(int, free);
    QTemporaryDir top;
    const ScratchMount mount(top.filePath(QStringLiteral("ext2")), "1048576", top.filePath(QStringLiteral("ext2.img")));
    if (!mount.mounted())
        QSKIP("cannot make and mount an ext2 image here (needs root, a loop device and mkfs.ext2)");
    const QString doc = top.filePath(QStringLiteral("ext2/doc.htm"));
    const QString other = top.filePath(QStringLiteral("ext2/other.htm"));
    const QByteArray old = page("<P>the old page, line ", 108000);
    writeBytes(doc, old);
    QCOMPARE(::link(encoded(doc).constData(), encoded(other).constData()), 0);
    fillUp(top.filePath(QStringLiteral("ext2/filler")), free);

    const QByteArray text = page("<P>THE NEW TEXT, LINE ", 380000);
    QCOMPARE(outcome(writeDocument(doc, text)), qt_error_string(ENOSPC));
    QCOMPARE(readBytes(doc), old);
    QCOMPARE(readBytes(other), old);
    QCOMPARE(QFileInfo(doc).size(), old.size());

    // Once there is room, the same save goes through.
    QVERIFY(QFile::remove(top.filePath(QStringLiteral("ext2/filler"))));
    QCOMPARE(outcome(writeDocument(doc, text)), kSaved);
    QCOMPARE(readBytes(other), text);
}

void SavingTest::newFilesAreMadeAsAnyOther_data()
{
    QTest::addColumn<bool>("throughLink");
    QTest::newRow("new file") << false;
    QTest::newRow("through a symbolic link to no file yet") << true;
}

void SavingTest::newFilesAreMadeAsAnyOther()
{
    QFETCH(bool, throughLink);
    QTemporaryDir top;
    const QString doc = top.filePath(QStringLiteral("doc.htm"));
    const QString link = top.filePath(QStringLiteral("link.htm"));
    if (throughLink)
        QCOMPARE(::symlink("doc.htm", encoded(link).constData()), 0);
    const mode_t mask = ::umask(022);
    const std::optional<QString> reason = writeDocument(throughLink ? link : doc, "new");
    ::umask(mask);
    QCOMPARE(outcome(reason), kSaved);
    QCOMPARE(readBytes(doc), QByteArray("new"));
    QVERIFY(identity(doc).startsWith(QStringLiteral("mode 0644 ")));
    if (throughLink)
        QCOMPARE(QFile::symLinkTarget(link), doc);
    QCOMPARE(QDir(top.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
             throughLink ? 2 : 1);
}

void SavingTest::longNamesSaveAgain_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("hardLink");
    QTest::newRow("249 bytes") << QString(245, u'n') + QStringLiteral(".htm") << false;
    QTest::newRow("255 bytes") << QString(251, u'n') + QStringLiteral(".htm") << false;
    QTest::newRow("255 bytes of Japanese") << QString(85, u'頁') << false;
    QTest::newRow("255 bytes, hard-linked") << QString(251, u'n') + QStringLiteral(".htm") << true;
}

void SavingTest::longNamesSaveAgain()
{
    QFETCH(QString, name);
    QFETCH(bool, hardLink);
    QTemporaryDir top;
    const QString doc = top.filePath(name);
    QVERIFY(encoded(name).size() >= 249 && encoded(name).size() <= 255);
    writeBytes(doc, "old");
    if (hardLink)
        QCOMPARE(::link(encoded(doc).constData(), encoded(top.filePath(QStringLiteral("link"))).constData()), 0);
    const ino_t inode = inodeOf(doc);
    QCOMPARE(outcome(writeDocument(doc, "new")), kSaved);
    QCOMPARE(readBytes(doc), QByteArray("new"));
    QCOMPARE(inodeOf(doc) != inode, !hardLink); // replaced whole: the temporary file's name fits
    QCOMPARE(outcome(writeDocument(doc, "newer")), kSaved);
    QCOMPARE(readBytes(doc), QByteArray("newer"));
}

void SavingTest::failuresGiveTheSystemsReason_data()
{
    QTest::addColumn<QString>("scene");
    QTest::addColumn<int>("size"); // of the new text
    QTest::addColumn<int>("error");
    QTest::newRow("full disk, file replaced") << "tmpfs" << 100000 << ENOSPC;
    QTest::newRow("full disk, file replaced, short text") << "tmpfs" << 2000 << ENOSPC;
    QTest::newRow("full disk, new file") << "tmpfs new" << 100000 << ENOSPC;
    QTest::newRow("full disk, new file, short text") << "tmpfs new" << 2000 << ENOSPC;
    QTest::newRow("device that refuses data") << "/dev/full" << 100000 << ENOSPC;
    QTest::newRow("device that refuses data, short text") << "/dev/full" << 2000 << ENOSPC;
    QTest::newRow("missing folder") << "missing" << 2000 << ENOENT;
    QTest::newRow("name too long") << "toolong" << 2000 << ENAMETOOLONG;
    QTest::newRow("another user's read-only file") << "foreign" << 2000 << EACCES;
    QTest::newRow("another user's read-only file, 255-byte name") << "foreign long" << 2000 << EACCES;
    QTest::newRow("own read-only file in own folder") << "readonly" << 2000 << EACCES;
}

void SavingTest::failuresGiveTheSystemsReason()
{
    QFETCH(QString, scene);
    QFETCH(int, size);
    QFETCH(int, error);
    const bool asNobody = scene == QLatin1String("foreign") || scene.startsWith(QLatin1String("foreign "))
                          || scene == QLatin1String("readonly");
    if ((asNobody || scene.startsWith(QLatin1String("tmpfs"))) && ::geteuid() != 0)
        QSKIP("needs root to set the scene");
    QTemporaryDir top;
    chmodOrDie(top.path(), 0755);
    QString doc = top.filePath(QStringLiteral("doc.htm"));
    const QByteArray old = "<P>old</P>";
    std::optional<ScratchMount> mount;
    if (scene.startsWith(QLatin1String("tmpfs"))) {
        mount.emplace(top.filePath(QStringLiteral("tiny")), "64k");
        if (!mount->mounted())
            QSKIP("cannot mount a tmpfs here");
        doc = top.filePath(QStringLiteral("tiny/doc.htm"));
        if (!scene.endsWith(QLatin1String("new")))
            writeBytes(doc, old);
        fillUp(top.filePath(QStringLiteral("tiny/filler")), 0);
    } else if (scene.startsWith(u'/')) {
        doc = scene;
    } else if (scene == QLatin1String("missing")) {
        doc = top.filePath(QStringLiteral("no/such/folder/doc.htm"));
    } else if (scene == QLatin1String("toolong")) {
        doc = top.filePath(QString(256, u'n'));
    } else if (scene.startsWith(QLatin1String("foreign"))) {
        if (scene.endsWith(QLatin1String("long")))
            doc = top.filePath(QString(251, u'n') + QStringLiteral(".htm"));
        writeBytes(doc, old);
        chmodOrDie(doc, 0644);
    } else if (scene == QLatin1String("readonly")) {
        chownOrDie(top.path(), nobody().pw_uid, nobody().pw_gid);
        writeBytes(doc, old);
        chownOrDie(doc, nobody().pw_uid, nobody().pw_gid);
        chmodOrDie(doc, 0444);
    }

    const QByteArray text = page("<P>new ", size);
    const std::optional<QString> reason = asNobody ? saveAsNobody(doc, text) : writeDocument(doc, text);
    QCOMPARE(outcome(reason), qt_error_string(error));
    if (scene.endsWith(QLatin1String("new")))
        QVERIFY(!QFileInfo::exists(doc));
    else if (!scene.startsWith(u'/') && QFileInfo::exists(doc))
        QCOMPARE(readBytes(doc), old);
}

QTEST_GUILESS_MAIN(SavingTest)
#include "test_saving.moc"
