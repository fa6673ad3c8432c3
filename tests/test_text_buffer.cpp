// The pane's text buffer against a plain string: every line end kept as it
// came, lines found where a reader of the file would find them, and
// snapshots that stay what they were while the buffer goes on changing.
#include "editor/text_buffer.h"

#include <QRandomGenerator>
#include <QTest>

using namespace holvane;

namespace {

// Where each line starts and how long it is, read off the plain text.
struct Lines {
    std::vector<qsizetype> starts{0};
    std::vector<qsizetype> lengths;
    explicit Lines(const QString &t)
    {
        for (qsizetype i = 0; i < t.size(); ++i) {
            if (t[i] != u'\r' && t[i] != u'\n')
                continue;
            lengths.push_back(i - starts.back());
            if (t[i] == u'\r' && i + 1 < t.size() && t[i + 1] == u'\n')
                ++i;
            starts.push_back(i + 1);
        }
        lengths.push_back(t.size() - starts.back());
    }
};

QString randomText(QRandomGenerator &random, qsizetype length)
{
    static const char16_t alphabet[] = {u'a', u'<', u'>', u'\r', u'\n', u'\r', u'あ', u' ', 0xD83D, 0xDE00, 0xDC82};
    QString t;
    for (qsizetype i = 0; i < length; ++i)
        t += QChar(alphabet[random.bounded(int(std::size(alphabet)))]);
    return t;
}

QString check(const TextBuffer &buffer, const QString &expected)
{
    if (buffer.text() != expected)
        return QStringLiteral("text differs");
    if (buffer.size() != expected.size())
        return QStringLiteral("size %1 for %2").arg(buffer.size()).arg(expected.size());
    const Lines lines(expected);
    if (buffer.lineCount() != qsizetype(lines.starts.size()))
        return QStringLiteral("%1 lines for %2").arg(buffer.lineCount()).arg(lines.starts.size());
    for (size_t l = 0; l < lines.starts.size(); ++l)
        if (buffer.lineStart(qsizetype(l)) != lines.starts[l] || buffer.lineLength(qsizetype(l)) != lines.lengths[l])
            return QStringLiteral("line %1 at %2+%3, expected %4+%5")
                .arg(l)
                .arg(buffer.lineStart(qsizetype(l)))
                .arg(buffer.lineLength(qsizetype(l)))
                .arg(lines.starts[l])
                .arg(lines.lengths[l]);
    size_t line = 0;
    // Every position of a short text, a sample of a long one's.
    const qsizetype stride = std::max<qsizetype>(1, expected.size() / 5000);
    for (qsizetype p = 0; p <= expected.size(); ++p) {
        while (line + 1 < lines.starts.size() && lines.starts[line + 1] <= p)
            ++line;
        if (p % stride != 0)
            continue;
        // A position between a CR and its LF belongs to the line it ends.
        const bool insideCrLf = p > 0 && p < expected.size() && expected[p - 1] == u'\r' && expected[p] == u'\n';
        if (buffer.lineOf(p) != qsizetype(line))
            return QStringLiteral("position %1 on line %2, expected %3").arg(p).arg(buffer.lineOf(p)).arg(line);
        const bool insidePair = p > 0 && p < expected.size() && expected[p - 1].isHighSurrogate() && expected[p].isLowSurrogate();
        if (buffer.isCaretPosition(p) == (insideCrLf || insidePair))
            return QStringLiteral("caret position %1 judged wrongly").arg(p);
    }
    std::vector<qsizetype> walked;
    buffer.forEachLineLength(0, [&](qsizetype, qsizetype length) {
        walked.push_back(length);
        return true;
    });
    if (walked != lines.lengths)
        return QStringLiteral("the walk over the lines differs");
    return QString();
}

} // namespace

class TextBufferTest : public QObject {
    Q_OBJECT
private slots:
    void lineEndsAsAReaderFindsThem_data();
    void lineEndsAsAReaderFindsThem();
    void lineEndsMeetingWherePiecesMeet();
    void randomEditsAgreeWithAPlainString_data();
    void randomEditsAgreeWithAPlainString();
    void snapshotsStayAsTheyWere();
    void sharedTextsCompareByWhatDiffers_data();
    void sharedTextsCompareByWhatDiffers();
};

void TextBufferTest::lineEndsAsAReaderFindsThem_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("removed");
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<QString>("result");
    QTest::newRow("empty") << "" << 0 << 0 << "" << "";
    QTest::newRow("mixed kept") << "a\r\nb\nc\rd\r\r\ne\n\r" << 0 << 0 << "" << "a\r\nb\nc\rd\r\r\ne\n\r";
    QTest::newRow("a CR put before an LF joins it") << "a\nb" << 1 << 0 << "\r" << "a\r\nb";
    QTest::newRow("what stood between goes") << "a\rX\nb" << 2 << 1 << "" << "a\r\nb";
    QTest::newRow("an LF before a CR stays two") << "a\nX\rb" << 2 << 1 << "" << "a\n\rb";
    QTest::newRow("a CR LF split by typing") << "a\r\nb" << 2 << 0 << "x" << "a\rx\nb";
}

void TextBufferTest::lineEndsAsAReaderFindsThem()
{
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(int, removed);
    QFETCH(QString, inserted);
    QFETCH(QString, result);
    TextBuffer buffer(text);
    buffer.replace(position, removed, inserted);
    QCOMPARE(check(buffer, result), QString());
}

void TextBufferTest::lineEndsMeetingWherePiecesMeet()
{
    // The text is cut into pieces of 16 K characters: a CR ends the first.
    QString text = QString(16 * 1024 - 1, u'a') + QStringLiteral("\rx\n") + QString(20'000, u'b');
    for (const auto &[at, removed, inserted] : {std::tuple{16 * 1024, 1, ""}, std::tuple{16 * 1024 - 1, 0, "\n\r"},
                                                std::tuple{16 * 1024 + 1, 16 * 1024, "\r"}}) {
        TextBuffer buffer(text);
        QString expected = text;
        expected.replace(at, removed, QString::fromLatin1(inserted));
        buffer.replace(at, removed, QString::fromLatin1(inserted));
        QCOMPARE(check(buffer, expected), QString());
    }
}

void TextBufferTest::randomEditsAgreeWithAPlainString_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("seed");
    QTest::newRow("short") << 50 << 1;
    QTest::newRow("several pieces") << 70'000 << 2;
    QTest::newRow("from empty") << 0 << 3;
}

void TextBufferTest::randomEditsAgreeWithAPlainString()
{
    QFETCH(int, length);
    QFETCH(int, seed);
    QRandomGenerator random{quint32(seed)};
    QString model = randomText(random, length);
    TextBuffer buffer(model);
    // An older version of the text, whose pieces an edit may take back as Undo does.
    TextSnapshot older = buffer.snapshot();
    QString olderText = model;
    for (int step = 0; step < 400; ++step) {
        const qsizetype at = random.bounded(int(model.size() + 1));
        const qsizetype removed = std::min<qsizetype>(model.size() - at, random.bounded(random.bounded(3) ? 4 : 40'000));
        QString inserted = randomText(random, random.bounded(random.bounded(4) ? 3 : 20'000));
        switch (random.bounded(3)) {
        case 0:
            buffer.replace(at, removed, QStringView(inserted));
            break;
        case 1:
            buffer.replace(at, removed, inserted);
            break;
        default: {
            const qsizetype from = random.bounded(int(olderText.size() + 1));
            const qsizetype taken = random.bounded(int(std::min<qsizetype>(olderText.size() - from, 60'000) + 1));
            inserted = olderText.mid(from, taken);
            buffer.replace(at, removed, older, from, taken);
        }
        }
        model.replace(at, removed, inserted);
        if (random.bounded(20) == 0) {
            older = buffer.snapshot();
            olderText = model;
        }
        if (step % 25 == 0 || model.size() < 200) {
            const QString bad = check(buffer, model);
            if (!bad.isEmpty())
                QFAIL(qPrintable(QStringLiteral("step %1: %2").arg(step).arg(bad)));
        }
    }
    QCOMPARE(check(buffer, model), QString());
}

void TextBufferTest::snapshotsStayAsTheyWere()
{
    QRandomGenerator random(7);
    QString model = randomText(random, 100'000);
    TextBuffer buffer(model);
    std::vector<std::pair<TextSnapshot, QString>> taken;
    for (int step = 0; step < 50; ++step) {
        taken.emplace_back(buffer.snapshot(), model);
        const qsizetype at = random.bounded(int(model.size()));
        model.replace(at, 1, QStringLiteral("\r\n"));
        buffer.replace(at, 1, QStringLiteral("\r\n"));
    }
    for (const auto &[snapshot, text] : taken) {
        QVERIFY(snapshot == text);
        QCOMPARE(snapshot.toString(), text);
    }
    TextBuffer other;
    other.setSnapshot(taken.front().first); // a pane given another's text edits its own copy
    other.replace(0, 0, QStringLiteral("x"));
    QCOMPARE(taken.front().first.toString(), taken.front().second);
    QCOMPARE(other.text(), QStringLiteral("x") + taken.front().second);
    QVERIFY(!(taken.front().first == taken.back().first));
}

void TextBufferTest::sharedTextsCompareByWhatDiffers_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::newRow("equal") << "abc" << "abc";
    QTest::newRow("both empty") << "" << "";
    QTest::newRow("one empty") << "" << "abc";
    QTest::newRow("middle") << "abcXdef" << "abcYYdef";
    QTest::newRow("overlapping repeats") << "aaa" << "aaaa";
}

void TextBufferTest::sharedTextsCompareByWhatDiffers()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    // Once as unrelated strings, once as an edit of one buffer, which shares pieces.
    const QString big(40'000, u'z');
    for (const QString &around : {QString(), big}) {
        TextBuffer buffer(around + a + around);
        const TextSnapshot before = buffer.snapshot();
        const qsizetype prefix = [&] { qsizetype p = 0; while (p < a.size() && p < b.size() && a[p] == b[p]) ++p; return p; }();
        buffer.replace(around.size() + prefix, a.size() - prefix, QStringView(b).sliced(prefix));
        const TextSnapshot after = buffer.snapshot();
        const QString x = around + a + around, y = around + b + around;
        qsizetype expectPrefix = 0;
        while (expectPrefix < std::min(x.size(), y.size()) && x[expectPrefix] == y[expectPrefix])
            ++expectPrefix;
        qsizetype expectSuffix = 0;
        while (expectSuffix < std::min(x.size(), y.size()) - expectPrefix
               && x[x.size() - 1 - expectSuffix] == y[y.size() - 1 - expectSuffix])
            ++expectSuffix;
        for (const auto &[p, q] : {std::pair{before, after}, std::pair{TextSnapshot(x), TextSnapshot(y)}}) {
            QCOMPARE(TextSnapshot::commonPrefix(p, q), expectPrefix);
            QCOMPARE(TextSnapshot::commonSuffix(p, q, expectPrefix), expectSuffix);
            QCOMPARE(p == q, x == y);
        }
    }
}

QTEST_MAIN(TextBufferTest)
#include "test_text_buffer.moc"
