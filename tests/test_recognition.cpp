// Recognising a document's encoding: generated pages of every size, short
// and damaged pages of the kinds that fool a detector, the telling cases,
// and pages written back byte for byte whatever was recognised.
#include "documents/document_file.h"
#include "documents/text_codec.h"
#include "japanese_pages.h"

#include <QTemporaryDir>
#include <QTest>

#include <iconv.h>

using namespace holvane;
using namespace holvane::test;

Q_DECLARE_METATYPE(holvane::Encoding)

namespace {

bool isUtf16(Encoding e) { return e == Encoding::Utf16Le || e == Encoding::Utf16Be; }

QByteArray iconvEncode(const char *to, const QString &text)
{
    iconv_t cd = iconv_open(to, "UTF-8");
    QByteArray from = text.toUtf8();
    QByteArray out(from.size() * 4, Qt::Uninitialized);
    char *ip = from.data(), *op = out.data();
    size_t il = size_t(from.size()), ol = size_t(out.size());
    iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    return out.left(out.size() - qsizetype(ol));
}

// The text up to the character at `at` (beyond ASCII), that character cut
// after its first byte: a file that ends in the middle of a character.
QByteArray cutInside(const QString &text, qsizetype at, Encoding e)
{
    while (text[at].unicode() < 0x80)
        ++at;
    return encoded(text.left(at), e) + encoded(text.mid(at, 1), e).left(1);
}

// The bytes of a text with `stray` put in after its first `at` characters.
QByteArray withStray(const QString &text, qsizetype at, Encoding e, const QByteArray &stray)
{
    QByteArray bytes = encoded(text, e);
    return bytes.insert(encoded(text.left(at), e).size(), stray);
}

} // namespace

class RecognitionTest : public QObject {
    Q_OBJECT
private slots:
    void recognisesGeneratedPages_data();
    void recognisesGeneratedPages();
    void recognisesShortAndDamagedPages_data();
    void recognisesShortAndDamagedPages();
    void recognisesTellingCases_data();
    void recognisesTellingCases();
    void oneStrayByteKeepsUtf8_data();
    void oneStrayByteKeepsUtf8();
    void unchangedFilesComeBackByteForByte_data();
    void unchangedFilesComeBackByteForByte();
};

void RecognitionTest::recognisesGeneratedPages_data()
{
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<bool>("mark");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("samples");
    const std::pair<int, int> sizes[] = {{200, 60}, {1000, 30}, {10'000, 10}, {100'000, 3}, {1'000'000, 1}};
    for (Encoding e : kEncodings)
        for (bool mark : {false, true})
            if (!mark || isUtf16(e))
                for (const auto &[size, samples] : sizes)
                    QTest::addRow("%s%s %d bytes", qPrintable(encodingName(e)), mark ? " with a mark" : "", size)
                        << e << mark << size << samples;
}

// UTF-16 without a mark among them: saved so, it must read back so.
void RecognitionTest::recognisesGeneratedPages()
{
    QFETCH(Encoding, encoding);
    QFETCH(bool, mark);
    QFETCH(int, size);
    QFETCH(int, samples);
    const int lines = int(proseLines().size());
    QStringList wrong;
    for (int s = 0; s < samples; ++s) {
        const QString text = page(encoding, size, s * lines / samples);
        const EncodeResult written = encodeDocument(text, encoding, mark, UnencodablePolicy::Omit);
        QVERIFY(written.unencodable.empty());
        QVERIFY2(written.bytes.size() > size * 9 / 10 && written.bytes.size() <= size + 2, qPrintable(QString::number(written.bytes.size())));
        const DecodedDocument read = decodeDocument(written.bytes);
        if (read.encoding != encoding || read.text != text || read.keptBytes != 0 || read.byteOrderMark != mark)
            wrong << QStringLiteral("%1 (%2)").arg(s).arg(encodingName(read.encoding));
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(QStringLiteral("%1 of %2 wrong: ").arg(wrong.size()).arg(samples) + wrong.join(u' ')));
}

void RecognitionTest::recognisesShortAndDamagedPages_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<Encoding>("expected");
    const QStringList &prose = proseLines();
    const QStringList index = dataLines("kanji_index.txt");
    const QStringList english = dataLines("english_with_kanji.txt");
    auto name = [](Encoding e, const char *what, int k) {
        return QStringLiteral("%1 %2 %3").arg(encodingName(e), QLatin1String(what)).arg(k).toLatin1();
    };
    for (int k = 0; k < 3; ++k) {
        const QString text = tinyPage(prose[4 * k + 1].left(12), prose[4 * k + 2].left(40));
        const qsizetype title = text.indexOf(u"<title>") + 7;
        for (Encoding e : {Encoding::Utf8, Encoding::EucJp}) {
            QTest::newRow(name(e, "short page cut in a character", k)) << cutInside(text, title + 4, e) << e;
            QTest::newRow(name(e, "short page, a stray byte in the title", k))
                << withStray(text, title + 1 + k, e, k == 2 ? "\xFE" : "\x85") << e;
        }
        QTest::newRow(name(Encoding::EucJp, "short page, two stray bytes", k))
            << withStray(text, title + 2, Encoding::EucJp, "\xA4\x85") << Encoding::EucJp;
        QTest::newRow(name(Encoding::Iso2022Jp, "short page, a stray byte", k))
            << withStray(text, title - 7, Encoding::Iso2022Jp, QByteArray(1, char(0xA4 + 0x20 * k))) << Encoding::Iso2022Jp;
        for (Encoding e : {Encoding::Utf16Le, Encoding::Utf16Be})
            QTest::newRow(name(e, "short page without a mark", k)) << encoded(text, e) << e;
    }
    // Kanji without kana: terms of an index as titles, English with a few.
    const std::pair<int, int> terms[] = {{3, 1}, {9, 1}, {14, 0}};
    for (const auto &[line, term] : terms)
        QTest::newRow(qPrintable(QStringLiteral("EUC-JP kanji term %1 %2").arg(line).arg(term)))
            << encoded(tinyPage(index[line].split(u'\u3000')[term], QStringLiteral("index")), Encoding::EucJp)
            << Encoding::EucJp;
    QTest::newRow("EUC-JP English with two kanji")
        << encoded(tinyPage(english[0], english[8]), Encoding::EucJp) << Encoding::EucJp;
    // Half-width katakana alone reads as well as level-1 kanji in the other
    // encoding: code page 932 stays.
    QTest::newRow("EUC-JP half-width katakana only")
        << iconvEncode("EUC-JP", QStringLiteral("<p>ﾃﾞｰﾀ ｶﾀﾛｸﾞ ﾒﾆｭｰ</p>")) << Encoding::Cp932;
}

void RecognitionTest::recognisesShortAndDamagedPages()
{
    QFETCH(QByteArray, input);
    QFETCH(Encoding, expected);
    QCOMPARE(encodingName(decodeDocument(input).encoding), encodingName(expected));
}

void RecognitionTest::recognisesTellingCases_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<Encoding>("expected");
    auto in = iconvEncode;
    QTest::newRow("ASCII") << QByteArray("<p>plain</p>") << Encoding::Cp932;
    QTest::newRow("ASCII declaring UTF-8") << QByteArray("<meta charset=\"utf-8\"><p>a</p>") << Encoding::Cp932;
    QTest::newRow("empty") << QByteArray() << Encoding::Cp932;
    QTest::newRow("NUL alone") << QByteArray("a\0b", 3) << Encoding::Cp932;
    QTest::newRow("UTF-8 declaring Shift_JIS")
        << QStringLiteral("<meta charset=\"shift_jis\"><p>日本語</p>").toUtf8() << Encoding::Utf8;
    QTest::newRow("UTF-8 cut inside its last character")
        << (QStringLiteral("<p>%1</p>").arg(proseLines().mid(1, 4).join(u' ')).toUtf8() + "\xE3\x81") << Encoding::Utf8;
    QTest::newRow("UTF-8 Korean and Japanese")
        << QStringLiteral("<meta charset=\"utf-8\">\n<p>한국어 テスト 日本語</p>\n").toUtf8() << Encoding::Utf8;
    QTest::newRow("UTF-8 byte order mark") << QByteArray("\xEF\xBB\xBF<p>a</p>") << Encoding::Utf8;
    QTest::newRow("UTF-16BE byte order mark") << QByteArray("\xFE\xFF\0<", 4) << Encoding::Utf16Be;
    QTest::newRow("UTF-16LE, ASCII only") << QByteArray("<\0p\0>\0a\0", 8) << Encoding::Utf16Le;
    QTest::newRow("short EUC-JP, kanji only") << in("EUC-JP", QStringLiteral("<title>東京</title>")) << Encoding::EucJp;
    QTest::newRow("short EUC-JP, kana") << in("EUC-JP", QStringLiteral("<p>ひらがな</p>")) << Encoding::EucJp;
    QTest::newRow("EUC-JP declared") << in("EUC-JP", QStringLiteral("<meta charset=euc-jp><p>漢字</p>")) << Encoding::EucJp;
    QTest::newRow("Shift_JIS declaring EUC-JP")
        << in("CP932", QStringLiteral("<meta charset=euc-jp><p>日本語です。</p>")) << Encoding::Cp932;
    // Valid EUC-JP too, as two kanji, but half-width katakana in code page 932.
    QTest::newRow("Shift_JIS half-width katakana") << in("CP932", QStringLiteral("<p>ｶﾀｶﾅ</p>")) << Encoding::Cp932;
    QTest::newRow("Shift_JIS half-width words")
        << in("CP932", QStringLiteral("<p>ﾃﾞｰﾀ ｶﾀﾛｸﾞ ﾒﾆｭｰ</p>")) << Encoding::Cp932;
    QTest::newRow("ISO-2022-JP") << QByteArray("<p>\x1B$B4A;z\x1B(B</p>") << Encoding::Iso2022Jp;
    QTest::newRow("ISO-2022-JP, old escapes") << QByteArray("\x1B$@4A;z\x1B(Jabc") << Encoding::Iso2022Jp;
    // A code page 932 page that quotes an escape: its bytes above 0x7F are あ.
    QTest::newRow("escape with 8-bit bytes") << QByteArray("\x1B$B4A\x1B(B\x82\xA0") << Encoding::Cp932;
    QTest::newRow("bytes of no encoding") << QByteArray("\x82<\x85\xff\xfd\x80\xa0 \xf0\x40 \xfc") << Encoding::Cp932;
}

void RecognitionTest::recognisesTellingCases()
{
    QFETCH(QByteArray, input);
    QFETCH(Encoding, expected);
    QCOMPARE(encodingName(decodeDocument(input).encoding), encodingName(expected));
}

void RecognitionTest::oneStrayByteKeepsUtf8_data()
{
    QTest::addColumn<bool>("atTheTop");
    QTest::newRow("in the title") << true;
    QTest::newRow("at the end") << false;
}

// 1,800 Japanese characters with one byte that is not UTF-8: one bad byte
// in 64 characters is judged over the sample, wherever the byte stands.
void RecognitionTest::oneStrayByteKeepsUtf8()
{
    QFETCH(bool, atTheTop);
    QString body;
    for (int i = 0; body.size() < 1800; ++i)
        body += proseLines()[i % proseLines().size()];
    QByteArray bytes = tinyPage(QStringLiteral("港町"), body.left(1800)).toUtf8();
    bytes.insert(atTheTop ? bytes.indexOf("</title>") : bytes.size(), '\x85');
    const DecodedDocument read = decodeDocument(bytes);
    QCOMPARE(encodingName(read.encoding), encodingName(Encoding::Utf8));
    QCOMPARE(read.keptBytes, 1);
}

void RecognitionTest::unchangedFilesComeBackByteForByte_data()
{
    QTest::addColumn<QByteArray>("input");
    const QString text = tinyPage(proseLines()[3].left(10), proseLines()[4]);
    for (Encoding e : kEncodings)
        QTest::addRow("%s", qPrintable(encodingName(e))) << encoded(text, e);
    QTest::newRow("UTF-16BE with a mark") << encoded(text, Encoding::Utf16Be, true);
    QTest::newRow("UTF-8 cut") << cutInside(text, 40, Encoding::Utf8);
    QTest::newRow("EUC-JP with stray bytes") << withStray(text, 20, Encoding::EucJp, "\xA4\x85");
    QTest::newRow("ISO-2022-JP with a stray byte") << withStray(text, 12, Encoding::Iso2022Jp, "\xA4");
    // Escapes the encoder writes otherwise, JIS X 0212 that it does not write.
    QTest::newRow("ISO-2022-JP, old escapes and no final reset")
        << QByteArray("\x1B(B\x1B$@4A\n\x1B(Jab\\\x1B(I12\x1B$B4A");
    QTest::newRow("ISO-2022-JP, JIS X 0212") << QByteArray("caf\x1B$(D+1\x1B(B \x1B$(D0!\x1B(B\r\n");
    QTest::newRow("ISO-2022-JP, JIS X 0212 to the end") << QByteArray("\x1B$B4A\x1B$(D0!");
}

// Whatever was recognised, a file saved without an edit is its own bytes.
void RecognitionTest::unchangedFilesComeBackByteForByte()
{
    QFETCH(QByteArray, input);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.html"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(input) == input.size());
    file.close();
    const std::optional<DecodedDocument> read = readDocument(path).document;
    QVERIFY(read);
    const std::optional<QByteArray> back = bytesOfUnchangedFile(path, read->text, read->encoding, read->byteOrderMark);
    QVERIFY(back);
    QCOMPARE(back->toHex(' '), input.toHex(' '));
}

QTEST_GUILESS_MAIN(RecognitionTest)
#include "test_recognition.moc"
