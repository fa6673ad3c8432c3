// Recovery files: what they hold comes back exactly, a file that is cut
// short, damaged, not ours or from a newer format is never misread, lost
// or offered, and no program offers or takes another live program's files.
#include "documents/recovery_store.h"
#include "documents/recovery_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <zlib.h>

#include <csignal>
#include <future>
#include <mutex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace holvane;

Q_DECLARE_METATYPE(holvane::RecoveryRecord)
Q_DECLARE_METATYPE(holvane::RecoveryProblem)

namespace {

RecoveryRecord sample(const QString &text = QStringLiteral("<P>日本語</P>\r\n"))
{
    RecoveryRecord record;
    record.path = QStringLiteral("/home/u/ページ.html");
    record.encoding = Encoding::Utf8;
    record.byteOrderMark = true;
    record.writtenAtMs = 1'796'000'000'123;
    record.caret = 3;
    record.onDisk = FileIdentity{2049, 1234567, 42, 1'796'000'000, 987'654'321};
    record.writerPid = 4711;
    record.text = text;
    return record;
}

mode_t modeOf(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : mode_t(-1);
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// A recovery file of a program that is gone, as it would have left it.
QString leaveOrphan(const QString &folder, const RecoveryRecord &record)
{
    auto opened = RecoveryStore::open(folder);
    const QString name = opened.store->newDocumentName();
    if (opened.store->write(name, record))
        qFatal("cannot write a recovery file");
    return name; // the store goes, and its lock with it
}

} // namespace

class RecoveryStoreTest : public QObject {
    Q_OBJECT
private slots:
    void recordsComeBackExactly_data();
    void recordsComeBackExactly();
    void badFilesAreNeverMisread_data();
    void badFilesAreNeverMisread();
    void theFolderFollowsXdgStateHome_data();
    void theFolderFollowsXdgStateHome();
    void theFolderAndItsFilesArePrivate();
    void aWriteReplacesTheFileWhole();
    void liveProgramsKeepTheirFiles();
    void aKilledProgramsFilesAreOffered();
    void badFilesAreSetAsideOnceAndNeverDeleted();
    void leftoversOfEndedProgramsGo();
    void adoptAndRemove();
    void writerRunsInOrderOnItsOwnThread();
    void writerReportsFailures();
};

void RecoveryStoreTest::recordsComeBackExactly_data()
{
    QTest::addColumn<RecoveryRecord>("record");
    QTest::newRow("named, UTF-8 with a mark") << sample();
    RecoveryRecord unnamed = sample(QString());
    unnamed.path.clear();
    unnamed.onDisk.reset();
    unnamed.encoding = Encoding::Cp932;
    unnamed.byteOrderMark = false;
    unnamed.caret = 0;
    QTest::newRow("unnamed and empty") << unnamed;
    // Kept bytes are lone low surrogates; a high one alone and NUL too.
    RecoveryRecord kept = sample(QStringLiteral("a") + QChar(0xDC82) + QChar(0xDCFF) + QStringLiteral("b") + QChar(0xD800)
                                 + QChar(u'\0') + QStringLiteral("c\r"));
    kept.encoding = Encoding::EucJp;
    QTest::newRow("lone surrogates and NUL") << kept;
    for (const Encoding encoding : kEncodings) {
        RecoveryRecord in = sample();
        in.encoding = encoding;
        in.byteOrderMark = encoding == Encoding::Utf16Be;
        QTest::newRow(qPrintable(encodingName(encoding))) << in;
    }
    QTest::newRow("long") << sample(QStringLiteral("<TR><TD>表</TD></TR>\r\n").repeated(50'000));
}

void RecoveryStoreTest::recordsComeBackExactly()
{
    QFETCH(RecoveryRecord, record);
    const ParsedRecovery parsed = parseRecovery(encodeRecovery(record));
    QVERIFY(parsed.record);
    QCOMPARE(parsed.version, kRecoveryFormatVersion);
    QVERIFY(*parsed.record == record);

    QTemporaryDir dir;
    auto opened = RecoveryStore::open(dir.path());
    QVERIFY(opened.store);
    const QString name = opened.store->newDocumentName();
    QCOMPARE(opened.store->write(name, record), std::nullopt);
    QCOMPARE(readBytes(dir.filePath(name)), encodeRecovery(record));
}

void RecoveryStoreTest::badFilesAreNeverMisread_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<RecoveryProblem>("problem");
    const QByteArray good = encodeRecovery(sample());
    QTest::newRow("empty") << QByteArray() << RecoveryProblem::NotOurs;
    QTest::newRow("another file") << QByteArray("<html>\r\n</html>\r\n") << RecoveryProblem::NotOurs;
    QTest::newRow("the magic alone") << good.first(8) << RecoveryProblem::Damaged;
    for (const qsizetype cut : {12, 40, 130, 150})
        QTest::addRow("cut after %lld bytes", static_cast<long long>(cut)) << good.first(cut) << RecoveryProblem::Damaged;
    QTest::newRow("last byte missing") << good.chopped(1) << RecoveryProblem::Damaged;
    QTest::newRow("a byte more") << good + 'x' << RecoveryProblem::Damaged;
    for (const qsizetype at : {13, 20, 60, 120, 140}) {
        QByteArray flipped = good;
        flipped[at] = char(flipped[at] ^ 0x10);
        QTest::addRow("a bit flipped at %lld", static_cast<long long>(at)) << flipped << RecoveryProblem::Damaged;
    }
    QByteArray newer = good;
    qToLittleEndian<quint32>(kRecoveryFormatVersion + 1, newer.data() + 8);
    QTest::newRow("a newer format") << newer << RecoveryProblem::Newer;
    QTest::newRow("a newer format, nothing after its version") << newer.first(12) << RecoveryProblem::Newer;
    QByteArray zero = good;
    qToLittleEndian<quint32>(0, zero.data() + 8);
    QTest::newRow("version 0") << zero << RecoveryProblem::Damaged;

    // Well formed and checksummed, but its fields do not add up.
    RecoveryRecord record = sample();
    QByteArray lying = encodeRecovery(record);
    const qsizetype textLength = lying.size() - 4 - record.text.size() * 2 - 8;
    qToLittleEndian<quint64>(quint64(1) << 62, lying.data() + textLength);
    qToLittleEndian<quint32>(quint32(::crc32(0, reinterpret_cast<const Bytef *>(lying.constData()), uInt(lying.size() - 4))),
                             lying.data() + lying.size() - 4);
    QTest::newRow("a text longer than the file") << lying << RecoveryProblem::Damaged;
}

void RecoveryStoreTest::badFilesAreNeverMisread()
{
    QFETCH(QByteArray, bytes);
    QFETCH(RecoveryProblem, problem);
    const ParsedRecovery parsed = parseRecovery(bytes);
    QVERIFY(!parsed.record);
    QCOMPARE(parsed.problem, problem);
}

void RecoveryStoreTest::theFolderFollowsXdgStateHome_data()
{
    QTest::addColumn<QByteArray>("stateHome"); // "-": unset
    QTest::addColumn<QString>("folder");
    QTest::newRow("set") << QByteArray("/srv/state") << "/srv/state/holvane";
    QTest::newRow("unset") << QByteArray("-") << "HOME/.local/state/holvane";
    QTest::newRow("empty") << QByteArray("") << "HOME/.local/state/holvane";
    QTest::newRow("relative, which the XDG rules say to ignore") << QByteArray("state") << "HOME/.local/state/holvane";
}

void RecoveryStoreTest::theFolderFollowsXdgStateHome()
{
    QFETCH(QByteArray, stateHome);
    QFETCH(QString, folder);
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    const bool wasSet = qEnvironmentVariableIsSet("XDG_STATE_HOME");
    if (stateHome == "-")
        qunsetenv("XDG_STATE_HOME");
    else
        qputenv("XDG_STATE_HOME", stateHome);
    const QString found = RecoveryStore::defaultFolder();
    if (wasSet)
        qputenv("XDG_STATE_HOME", saved);
    else
        qunsetenv("XDG_STATE_HOME");
    QCOMPARE(found, QString(folder).replace(QStringLiteral("HOME"), QDir::homePath()));
}

void RecoveryStoreTest::theFolderAndItsFilesArePrivate()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("state/holvane"));
    ::umask(022);
    auto opened = RecoveryStore::open(folder);
    QVERIFY(opened.store);
    QCOMPARE(modeOf(dir.filePath(QStringLiteral("state"))), mode_t(0700));
    QCOMPARE(modeOf(folder), mode_t(0700));
    const QString name = opened.store->newDocumentName();
    QCOMPARE(opened.store->write(name, sample()), std::nullopt);
    QCOMPARE(modeOf(folder + u'/' + name), mode_t(0600));
    for (const QString &file : filesIn(folder))
        QCOMPARE(modeOf(folder + u'/' + file), mode_t(0600));
    opened.store.reset();

    // A folder that is there already is made private.
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
    QVERIFY(RecoveryStore::open(folder).store);
    QCOMPARE(modeOf(folder), mode_t(0700));

    // Where the folder cannot be, the reason comes back.
    writeBytes(dir.filePath(QStringLiteral("file")), "x");
    const auto failed = RecoveryStore::open(dir.filePath(QStringLiteral("file/holvane")));
    QVERIFY(!failed.store);
    QVERIFY(!failed.error.isEmpty());
}

void RecoveryStoreTest::aWriteReplacesTheFileWhole()
{
    QTemporaryDir dir;
    auto opened = RecoveryStore::open(dir.path());
    RecoveryStore &store = *opened.store;
    const QString name = store.newDocumentName();
    QCOMPARE(store.write(name, sample(QStringLiteral("first"))), std::nullopt);
    QCOMPARE(store.write(name, sample(QStringLiteral("second"))), std::nullopt);
    QCOMPARE(parseRecovery(readBytes(dir.filePath(name))).record->text, QStringLiteral("second"));
    QCOMPARE(filesIn(dir.path()).size(), 2); // the file and the lock: no temporary file left

    // A write that fails leaves the last one as it was.
    QVERIFY(QDir(dir.path()).mkdir(name + QStringLiteral(".tmp")));
    QVERIFY(store.write(name, sample(QStringLiteral("third"))).has_value());
    QCOMPARE(parseRecovery(readBytes(dir.filePath(name))).record->text, QStringLiteral("second"));
}

void RecoveryStoreTest::liveProgramsKeepTheirFiles()
{
    QTemporaryDir dir;
    auto first = RecoveryStore::open(dir.path());
    auto second = RecoveryStore::open(dir.path());
    QVERIFY(first.store && second.store);
    QVERIFY(first.store->session() != second.store->session());
    const QString name = first.store->newDocumentName();
    QCOMPARE(first.store->write(name, sample()), std::nullopt);
    QVERIFY(name.startsWith(first.store->session()));

    QVERIFY(second.store->takeOrphans().found.empty());
    QVERIFY(first.store->takeOrphans().found.empty()); // nor does a program offer its own

    first.store.reset(); // the program ends, leaving its file
    QVERIFY(filesIn(dir.path()).contains(name));
    auto third = RecoveryStore::open(dir.path());
    {
        Orphans taken = second.store->takeOrphans();
        QCOMPARE(taken.found.size(), std::size_t(1));
        QCOMPARE(taken.found.front().name, name);
        QVERIFY(taken.found.front().record == sample());
        // While one program has them in hand, another starting now does not see them.
        QVERIFY(third.store->takeOrphans().found.empty());
    }
    // Kept for later: offered again.
    QCOMPARE(third.store->takeOrphans().found.size(), std::size_t(1));
}

void RecoveryStoreTest::aKilledProgramsFilesAreOffered()
{
    QTemporaryDir dir;
    int ready[2];
    QVERIFY(::pipe(ready) == 0);
    const pid_t child = ::fork();
    if (child == 0) {
        auto opened = RecoveryStore::open(dir.path());
        const bool ok = opened.store && !opened.store->write(opened.store->newDocumentName(), sample());
        [[maybe_unused]] const ssize_t n = ::write(ready[1], ok ? "y" : "n", 1);
        ::pause();
        ::_exit(0);
    }
    char answer = 0;
    QCOMPARE(::read(ready[0], &answer, 1), ssize_t(1));
    QCOMPARE(answer, 'y');
    auto mine = RecoveryStore::open(dir.path());
    QVERIFY(mine.store->takeOrphans().found.empty()); // alive, though it is in no other way told apart

    ::kill(child, SIGKILL);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    const Orphans orphans = mine.store->takeOrphans();
    QCOMPARE(orphans.found.size(), std::size_t(1));
    QVERIFY(orphans.found.front().record == sample());
    ::close(ready[0]);
    ::close(ready[1]);
}

void RecoveryStoreTest::badFilesAreSetAsideOnceAndNeverDeleted()
{
    QTemporaryDir dir;
    const QByteArray good = encodeRecovery(sample());
    QByteArray newer = good;
    qToLittleEndian<quint32>(kRecoveryFormatVersion + 1, newer.data() + 8);
    const std::pair<const char *, QByteArray> files[] = {
        {"1-aaaa-1.recovery", good.chopped(10)},
        {"1-aaaa-2.recovery", QByteArray("not ours at all")},
        {"2-bbbb-1.recovery", newer},
        {"3-cccc-1.recovery", good},
    };
    for (const auto &[name, bytes] : files)
        writeBytes(dir.filePath(QString::fromLatin1(name)), bytes);
    writeBytes(dir.filePath(QStringLiteral("1-aaaa-1.recovery.damaged")), "set aside before");
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("4-dddd-1.recovery"))); // no file at all: left alone

    auto opened = RecoveryStore::open(dir.path());
    {
        const Orphans orphans = opened.store->takeOrphans();
        QCOMPARE(orphans.found.size(), std::size_t(1));
        QCOMPARE(orphans.found.front().name, QStringLiteral("3-cccc-1.recovery"));
        QCOMPARE(orphans.setAside.size(), std::size_t(3));
        for (const auto &aside : orphans.setAside) {
            const RecoveryProblem expected = aside.name.startsWith(u'2') ? RecoveryProblem::Newer
                                             : aside.name.endsWith(QLatin1String("2.recovery"))
                                                 ? RecoveryProblem::NotOurs
                                                 : RecoveryProblem::Damaged;
            QCOMPARE(aside.problem, expected);
            QVERIFY(!aside.newName.isEmpty());
        }
    }
    const QStringList left = filesIn(dir.path());
    QVERIFY(left.contains(QStringLiteral("1-aaaa-1.recovery.damaged")));
    QVERIFY(left.contains(QStringLiteral("1-aaaa-1.recovery.damaged.1"))); // the earlier one is not overwritten
    QVERIFY(left.contains(QStringLiteral("1-aaaa-2.recovery.damaged")));
    QVERIFY(left.contains(QStringLiteral("2-bbbb-1.recovery.newer")));
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("4-dddd-1.recovery"))).isDir());
    QCOMPARE(readBytes(dir.filePath(QStringLiteral("1-aaaa-1.recovery.damaged"))), QByteArray("set aside before"));
    QCOMPARE(readBytes(dir.filePath(QStringLiteral("1-aaaa-1.recovery.damaged.1"))), good.chopped(10));
    QCOMPARE(readBytes(dir.filePath(QStringLiteral("2-bbbb-1.recovery.newer"))), newer);

    // Reported once: the next look finds only the good one.
    const Orphans again = opened.store->takeOrphans();
    QVERIFY(again.setAside.empty());
    QCOMPARE(again.found.size(), std::size_t(1));
}

void RecoveryStoreTest::leftoversOfEndedProgramsGo()
{
    QTemporaryDir dir;
    const QString name = leaveOrphan(dir.path(), sample());
    writeBytes(dir.filePath(name + QStringLiteral(".tmp")), "a write cut short");
    writeBytes(dir.filePath(QStringLiteral("9-dead.lock")), "");
    auto live = RecoveryStore::open(dir.path());
    const QString liveName = live.store->newDocumentName();
    QCOMPARE(live.store->write(liveName, sample()), std::nullopt);
    writeBytes(dir.filePath(liveName + QStringLiteral(".tmp")), "being written");

    auto opened = RecoveryStore::open(dir.path());
    {
        const Orphans orphans = opened.store->takeOrphans();
        QCOMPARE(orphans.found.size(), std::size_t(1));
        const QStringList files = filesIn(dir.path());
        QVERIFY(!files.contains(name + QStringLiteral(".tmp")));
        QVERIFY(!files.contains(QStringLiteral("9-dead.lock")));
        QVERIFY(files.contains(liveName + QStringLiteral(".tmp"))); // a live program's stays
    }
    QVERIFY(filesIn(dir.path()).contains(name)); // kept for later
}

void RecoveryStoreTest::adoptAndRemove()
{
    QTemporaryDir dir;
    const QString first = leaveOrphan(dir.path(), sample(QStringLiteral("first")));
    const QString second = leaveOrphan(dir.path(), sample(QStringLiteral("second")));
    auto opened = RecoveryStore::open(dir.path());
    RecoveryStore &store = *opened.store;
    const QString mine = store.newDocumentName();
    {
        const Orphans orphans = store.takeOrphans();
        QCOMPARE(orphans.found.size(), std::size_t(2));
        QCOMPARE(store.adopt(first, mine), std::nullopt);
        QCOMPARE(store.remove(second), std::nullopt);
        QCOMPARE(store.remove(second), std::nullopt); // already gone is no failure
    }
    // Nothing of the ended programs is left, lock files included.
    QStringList expected{store.session() + QStringLiteral(".lock"), mine};
    expected.sort();
    QCOMPARE(filesIn(dir.path()), expected);
    QCOMPARE(parseRecovery(readBytes(dir.filePath(mine))).record->text, QStringLiteral("first"));
    QVERIFY(store.takeOrphans().found.empty());
    opened.store.reset();
    QCOMPARE(filesIn(dir.path()), QStringList{mine});
}

void RecoveryStoreTest::writerRunsInOrderOnItsOwnThread()
{
    QTemporaryDir dir;
    auto opened = RecoveryStore::open(dir.path());
    std::vector<quint64> done;
    std::mutex mutex;
    std::thread::id writerThread;
    {
        RecoveryWriter writer(*opened.store, [&](const RecoveryResult &result) {
            std::lock_guard lock(mutex);
            done.push_back(result.generation);
        });
        // The first job holds the writer until every other one is queued.
        std::promise<void> go, running;
        std::shared_future<void> released = go.get_future().share();
        RecoveryJob first{QStringLiteral("a.recovery"),
                          [&, released] {
                              writerThread = std::this_thread::get_id();
                              running.set_value();
                              released.wait();
                              return QStringLiteral("a1");
                          },
                          sample(), 0, 1};
        writer.submit(std::move(first));
        running.get_future().wait();
        for (const auto &[name, text, generation] :
             {std::tuple{"b.recovery", "b2", 2}, {"a.recovery", "a3", 3}, {"b.recovery", "b4", 4}, {"a.recovery", "a5", 5}})
            writer.submit({QString::fromLatin1(name), [t = QString::fromLatin1(text)] { return t; }, sample(),
                           0, quint64(generation)});
        go.set_value();
        writer.finish();
        // The later job for a file took the place of the one not yet started.
        QCOMPARE(done, (std::vector<quint64>{1, 4, 5}));
        writer.submit({QStringLiteral("b.recovery"), {}, {}, 0, 6}); // removes
    } // the writer finishes what it was handed before it goes
    QVERIFY(writerThread != std::this_thread::get_id());
    QCOMPARE(done.back(), quint64(6));
    QCOMPARE(parseRecovery(readBytes(dir.filePath(QStringLiteral("a.recovery")))).record->text, QStringLiteral("a5"));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("b.recovery"))));
}

void RecoveryStoreTest::writerReportsFailures()
{
    QTemporaryDir dir;
    auto opened = RecoveryStore::open(dir.path());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("x.recovery.tmp")));
    std::vector<RecoveryResult> results;
    RecoveryWriter writer(*opened.store, [&](const RecoveryResult &r) { results.push_back(r); });
    writer.submit({QStringLiteral("x.recovery"), [] { return QStringLiteral("text"); }, sample(), 7, 8});
    writer.finish();
    QCOMPARE(results.size(), std::size_t(1));
    QCOMPARE(results.front().outcome, RecoveryOutcome::Failed);
    QCOMPARE(results.front().document, quint64(7));
    QCOMPARE(results.front().generation, quint64(8));
    QVERIFY(!results.front().error.isEmpty());
}

QTEST_GUILESS_MAIN(RecoveryStoreTest)
#include "test_recovery_store.moc"
