// The document encodings: recognising them on a generated set of Japanese
// pages, reading and writing files byte for byte, and the promise that what
// is written reads back as the text or is reported (text_codec.h).
#include "documents/text_codec.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <iconv.h>

using namespace holvane;

Q_DECLARE_METATYPE(holvane::Encoding)

namespace {

constexpr char16_t kKept = 0xDC00;

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// Placeholders of kept bytes.
QString kept(std::initializer_list<int> values)
{
    QString out;
    for (int v : values)
        out += QChar(char16_t(kKept + v));
    return out;
}

bool hasMark(Encoding e) { return e == Encoding::Utf16Le || e == Encoding::Utf16Be; }

const QStringList &proseLines()
{
    static const QStringList lines = [] {
        QFile file(QStringLiteral(HOLVANE_TEST_DATA "/japanese_prose.txt"));
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }();
    return lines;
}

// A Japanese page of about `size` bytes in an encoding, its paragraphs taken
// from the prose from line `first` on; without a <meta> charset, so that only
// the bytes tell.
QString page(Encoding e, qsizetype size, int first)
{
    const QStringList &lines = proseLines();
    auto bytesOf = [e](const QString &part) { return encodeDocument(part, e, false, UnencodablePolicy::Omit).bytes.size(); };
    QString html = QStringLiteral("<html>\r\n<head><title>%1</title></head>\r\n<body>\r\n").arg(lines[first % lines.size()].left(10));
    const QString end = QStringLiteral("</body>\r\n</html>\r\n");
    // Every part starts and ends in ASCII, so sizes add up even in ISO-2022-JP.
    qsizetype room = size - bytesOf(html) - bytesOf(end);
    for (int i = first + 1;; ++i) {
        QString paragraph = QStringLiteral("<p>%1</p>\r\n").arg(lines[i % lines.size()]);
        qsizetype bytes = bytesOf(paragraph);
        if (bytes > room) {
            // Cut the last paragraph to fit.
            while (!paragraph.isEmpty() && bytesOf(paragraph) > room)
                paragraph.chop(1);
            return html + paragraph + end;
        }
        html += paragraph;
        room -= bytes;
    }
}

// Random bytes shaped like each encoding's files, so that decoders meet valid
// characters, bytes they must keep and (ISO-2022-JP) escapes of every kind.
// Without the codes of characters that have a preferred code elsewhere
// (Windows' duplicates and their JIS rows) where the bytes must come back.
QByteArray noise(Encoding e, QRandomGenerator &random, int size, bool withDuplicates = true)
{
    static const QByteArray escapes[] = {"\x1B(B", "\x1B(J", "\x1B(I", "\x1B$B", "\x1B$@", "\x1B$(D", "\x1B$", "\x1B(", "\x1B"};
    QByteArray out;
    while (out.size() < size) {
        const int kind = random.bounded(10);
        switch (e) {
        case Encoding::Iso2022Jp:
            if (kind == 0)
                out += escapes[random.bounded(9)];
            else if (kind == 1)
                out += char(0x80 + random.bounded(128));
            else if (kind == 2)
                out += "\r\n";
            else
                out += char(0x21 + random.bounded(0x5E));
            break;
        case Encoding::Utf16Le:
        case Encoding::Utf16Be: {
            // Surrogates often, and low ones in the placeholders' own range.
            const char16_t unit = kind < 3   ? char16_t(0xD800 + random.bounded(0x800))
                                  : kind < 5 ? char16_t(0xDC00 + random.bounded(0x100))
                                  : kind < 8 ? char16_t(random.bounded(0x80))
                                             : char16_t(random.bounded(0x10000));
            const bool big = e == Encoding::Utf16Be;
            out += char(big ? unit >> 8 : unit & 0xFF);
            out += char(big ? unit & 0xFF : unit >> 8);
            break;
        }
        case Encoding::Utf8:
            out += kind < 4 ? QString(QChar(char16_t(0x3041 + random.bounded(0x60)))).toUtf8()
                            : QByteArray(1, char(kind < 7 ? random.bounded(0x80) : 0x80 + random.bounded(0x80)));
            break;
        default:
            out += char(kind < 3 ? random.bounded(0x80) : 0x80 + random.bounded(0x80));
        }
    }
    if (hasMark(e) && random.bounded(2))
        out += char(random.bounded(256)); // an odd last byte
    for (qsizetype i = 0; i < out.size() && !withDuplicates; ++i) {
        const auto b = static_cast<unsigned char>(out[i]);
        const bool duplicate = e == Encoding::Cp932     ? b == 0x87 || b == 0xED || b == 0xEE || b == 0xFA
                               : e == Encoding::EucJp     ? b == 0xAD || (b >= 0xF9 && b <= 0xFC) || (b == 0xA2 && i > 0 && out[i - 1] == '\x8F')
                               : e == Encoding::Iso2022Jp ? b == 0x2D || b == 0x7C
                                                          : false;
        if (duplicate)
            out[i] = 'x';
    }
    return out;
}

DecodedDocument decodeAs(const QByteArray &b, Encoding e) { return decodeDocument(b, e); }

// What a text reads back as once written with its reported characters left
// out or written as references.
QString expectedAfterWriting(const QString &text, const EncodeResult &r, UnencodablePolicy policy)
{
    QString expected;
    qsizetype from = 0;
    for (const Unencodable &u : r.unencodable) {
        expected.append(QStringView(text).sliced(from, u.position - from));
        if (policy == UnencodablePolicy::CharacterReference)
            expected += QStringLiteral("&#%1;").arg(quint32(u.codePoint));
        from = u.position + (u.codePoint > 0xFFFF ? 2 : 1);
    }
    return expected.append(QStringView(text).sliced(from));
}

} // namespace

class EncodingsTest : public QObject {
    Q_OBJECT
private slots:
    void recognisesGeneratedPages_data();
    void recognisesGeneratedPages();
    void recognisesTellingCases_data();
    void recognisesTellingCases();
    void filesComeBackByteForByte_data();
    void filesComeBackByteForByte();
    void whatIsWrittenReadsBackOrIsReported_data();
    void whatIsWrittenReadsBackOrIsReported();
    void joinsWithKeptBytes_data();
    void joinsWithKeptBytes();
    void reportsUnencodableCharacters_data();
    void reportsUnencodableCharacters();
    void eucJpWritesPreferredCodes();
    void readsDeclaredCharsets_data();
    void readsDeclaredCharsets();
};

void EncodingsTest::recognisesGeneratedPages_data()
{
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("samples");
    const std::pair<int, int> sizes[] = {{200, 60}, {1000, 30}, {10'000, 10}, {100'000, 3}, {1'000'000, 1}};
    for (Encoding e : kEncodings)
        for (const auto &[size, samples] : sizes)
            QTest::addRow("%s %d bytes", qPrintable(encodingName(e)), size) << e << size << samples;
}

void EncodingsTest::recognisesGeneratedPages()
{
    QFETCH(Encoding, encoding);
    QFETCH(int, size);
    QFETCH(int, samples);
    const int lines = int(proseLines().size());
    QStringList wrong;
    for (int s = 0; s < samples; ++s) {
        const QString text = page(encoding, size, s * lines / samples);
        const EncodeResult written = encodeDocument(text, encoding, hasMark(encoding), UnencodablePolicy::Omit);
        QVERIFY(written.unencodable.empty());
        QVERIFY2(written.bytes.size() > size * 9 / 10 && written.bytes.size() <= size + 2, qPrintable(QString::number(written.bytes.size())));
        const DecodedDocument read = decodeDocument(written.bytes);
        if (read.encoding != encoding || read.text != text || read.keptBytes != 0)
            wrong << QStringLiteral("%1 (%2)").arg(s).arg(encodingName(read.encoding));
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(QStringLiteral("%1 of %2 wrong: ").arg(wrong.size()).arg(samples) + wrong.join(u' ')));
}

void EncodingsTest::recognisesTellingCases_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<Encoding>("expected");
    auto in = [](const char *to, const QString &text) {
        iconv_t cd = iconv_open(to, "UTF-8");
        QByteArray from = text.toUtf8();
        QByteArray out(from.size() * 4, Qt::Uninitialized);
        char *ip = from.data(), *op = out.data();
        size_t il = size_t(from.size()), ol = size_t(out.size());
        iconv(cd, &ip, &il, &op, &ol);
        iconv_close(cd);
        return out.left(out.size() - qsizetype(ol));
    };
    QTest::newRow("ASCII") << QByteArray("<p>plain</p>") << Encoding::Cp932;
    QTest::newRow("ASCII declaring UTF-8") << QByteArray("<meta charset=\"utf-8\"><p>a</p>") << Encoding::Cp932;
    QTest::newRow("empty") << QByteArray() << Encoding::Cp932;
    QTest::newRow("UTF-8 declaring Shift_JIS")
        << QStringLiteral("<meta charset=\"shift_jis\"><p>日本語</p>").toUtf8() << Encoding::Utf8;
    QTest::newRow("UTF-8 cut inside its last character")
        << (QStringLiteral("<p>%1</p>").arg(proseLines().mid(1, 4).join(u' ')).toUtf8() + "\xE3\x81") << Encoding::Utf8;
    QTest::newRow("UTF-8 Korean and Japanese (issue's example)")
        << QStringLiteral("<meta charset=\"utf-8\">\n<p>한국어 テスト 日本語</p>\n").toUtf8() << Encoding::Utf8;
    QTest::newRow("UTF-8 byte order mark") << QByteArray("\xEF\xBB\xBF<p>a</p>") << Encoding::Utf8;
    QTest::newRow("UTF-16BE byte order mark") << QByteArray("\xFE\xFF\0<", 4) << Encoding::Utf16Be;
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
    QTest::newRow("escape with 8-bit bytes") << QByteArray("\x1B$B4A\x1B(B\x82\xA0") << Encoding::Cp932;
}

void EncodingsTest::recognisesTellingCases()
{
    QFETCH(QByteArray, input);
    QFETCH(Encoding, expected);
    QCOMPARE(encodingName(decodeDocument(input).encoding), encodingName(expected));
}

void EncodingsTest::filesComeBackByteForByte_data()
{
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QByteArray>("input");
    QRandomGenerator random(12);
    for (Encoding e : kEncodings) {
        const QByteArray nameBytes = encodingName(e).toLatin1();
        const char *name = nameBytes.constData();
        const QByteArray valid = encodeDocument(page(e, 3000, 7), e, false, UnencodablePolicy::Omit).bytes;
        QTest::addRow("%s page", name) << e << valid;
        QTest::addRow("%s empty", name) << e << QByteArray();
        QTest::addRow("%s page with invalid bytes", name)
            << e << valid.left(301) + noise(e, random, 40, false) + valid.mid(301, 700) + noise(e, random, 3, false);
        if (canHaveByteOrderMark(e))
            QTest::addRow("%s byte order mark", name)
                << e << encodeDocument(QStringLiteral("\uFEFF<p>二つ目</p>"), e, true, UnencodablePolicy::Omit).bytes;
        for (int i = 0; i < 3; ++i)
            QTest::addRow("%s noise %d", name, i) << e << noise(e, random, 20'000, false);
    }
    QTest::newRow("ISO-2022-JP, old escapes and no final reset")
        << Encoding::Iso2022Jp << QByteArray("\x1B(B\x1B$@4A\n\x1B(Jab\\\x1B(I12\x1B$B4A");
    QTest::newRow("EUC-JP, NEC row 13 and JIS X 0212") << Encoding::EucJp << bytes({0xAD, 0xA1, 0x8F, 0xB0, 0xA1, 0x8E, 0xB1});
}

void EncodingsTest::filesComeBackByteForByte()
{
    QFETCH(Encoding, encoding);
    QFETCH(QByteArray, input);
    const DecodedDocument read = decodeAs(input, encoding);
    const EncodeResult written = encodeDocument(read.text, encoding, read.byteOrderMark, UnencodablePolicy::Omit);
    QVERIFY(written.unencodable.empty());
    QCOMPARE(written.bytes.toHex(' '), input.toHex(' '));
}

void EncodingsTest::whatIsWrittenReadsBackOrIsReported_data()
{
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<UnencodablePolicy>("policy");
    for (Encoding e : kEncodings) {
        QTest::addRow("%s, references", qPrintable(encodingName(e))) << e << UnencodablePolicy::CharacterReference;
        QTest::addRow("%s, left out", qPrintable(encodingName(e))) << e << UnencodablePolicy::Omit;
    }
}

// Texts read from noise, then typed into and cut around the kept bytes, as a
// user would: whatever is written reads back as the text with the reported
// characters left out or as references.
void EncodingsTest::whatIsWrittenReadsBackOrIsReported()
{
    QFETCH(Encoding, encoding);
    QFETCH(UnencodablePolicy, policy);
    QRandomGenerator random(11);
    const QString typed[] = {
        QStringLiteral("a"),  QStringLiteral("(B"), QStringLiteral("$B"),     QStringLiteral("(J"),
        QStringLiteral("\r\n"), QStringLiteral("あ"), QStringLiteral("ｶ"),      QStringLiteral("漢"),
        QStringLiteral("≒"),  QStringLiteral("￢"),  QStringLiteral("～"),      QStringLiteral("¥"),
        QStringLiteral("¦"),  QStringLiteral("😀"), QStringLiteral("\uFEFF"), QString(QChar(0xD800)),
    };
    int reported = 0;
    for (int round = 0; round < 2000; ++round) {
        // Opened and saved without an edit: nothing to report, nothing changes.
        QString text = decodeAs(noise(encoding, random, 60), encoding).text;
        const EncodeResult unedited = encodeDocument(text, encoding, false, policy);
        QVERIFY(unedited.unencodable.empty());
        QCOMPARE(decodeAs(unedited.bytes, encoding).text, text);
        for (int edit = 0; edit < 6 && !text.isEmpty(); ++edit) {
            qsizetype at = random.bounded(int(text.size()));
            for (qsizetype k = at; k < text.size(); ++k)
                if ((text[k].unicode() & 0xFF00) == kKept) {
                    at = k + 1; // right after a kept byte
                    break;
                }
            const int what = random.bounded(20);
            if (what < 4)
                text.remove(std::min(at, text.size() - 1), 1 + what % 2);
            else if (what < 7)
                text.insert(at, QChar(char16_t(kKept + random.bounded(256))));
            else
                text.insert(at, typed[random.bounded(int(std::size(typed)))]);
        }
        const bool mark = random.bounded(2) && canHaveByteOrderMark(encoding);
        const EncodeResult written = encodeDocument(text, encoding, mark, policy);
        const DecodedDocument back = decodeAs(written.bytes, encoding);
        reported += !written.unencodable.empty();
        QCOMPARE(back.text, expectedAfterWriting(text, written, policy));
        QCOMPARE(back.byteOrderMark, mark);
    }
    QVERIFY(reported > 10); // the edits did make joins and lone placeholders
}

void EncodingsTest::joinsWithKeptBytes_data()
{
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("written"); // with references
    const auto text = [](const char16_t *t) { return QString::fromUtf16(t); };
    // Kept 0x81 and ¬ (from 81 FA 54): ¬'s own code 81 CA would read as ＝ﾊ,
    // so its duplicate FA 54 is written and nothing is reported.
    QTest::newRow("Shift_JIS duplicate code") << Encoding::Cp932 << kept({0x81}) + text(u"\uFFE2") << bytes({0x81, 0xFA, 0x54});
    QTest::newRow("Shift_JIS, a typed after kept 0x82") << Encoding::Cp932 << text(u"<P>") + kept({0x82}) + text(u"a")
                                                        << QByteArray("<P>\x82&#97;");
    QTest::newRow("Shift_JIS, kept half-width katakana byte") << Encoding::Cp932 << kept({0xB1}) << QByteArray("&#56497;");
    QTest::newRow("EUC-JP, katakana after kept 0xA4") << Encoding::EucJp << kept({0xA4}) + text(u"ア")
                                                      << QByteArray("\xA4&#12450;");
    QTest::newRow("UTF-8, kept bytes making あ") << Encoding::Utf8 << kept({0xE3, 0x81, 0x82}) << QByteArray("\xE3\x81&#56450;");
    QTest::newRow("UTF-16LE, one kept byte amid text") << Encoding::Utf16Le << text(u"a") + kept({0x41}) + text(u"b")
                                                       << QByteArray("a\0&\0#\0005\0006\0003\0008\0005\0;\0b\0", 20);
    QTest::newRow("ISO-2022-JP, $B typed after a kept ESC") << Encoding::Iso2022Jp << kept({0x1B}) + text(u"$B")
                                                            << QByteArray("\x1B$&#66;");
    QTest::newRow("ISO-2022-JP, kept ESC ( B that would vanish")
        << Encoding::Iso2022Jp << text(u"漢") + kept({0x1B, 0x28, 0x42}) + text(u"a")
        << QByteArray("\x1B$B4A\x1B(B&#56347;&#56360;&#56386;a");
}

void EncodingsTest::joinsWithKeptBytes()
{
    QFETCH(Encoding, encoding);
    QFETCH(QString, text);
    QFETCH(QByteArray, written);
    const EncodeResult r = encodeDocument(text, encoding, false, UnencodablePolicy::CharacterReference);
    QCOMPARE(r.bytes, written);
    QCOMPARE(decodeAs(r.bytes, encoding).text, expectedAfterWriting(text, r, UnencodablePolicy::CharacterReference));
}

void EncodingsTest::reportsUnencodableCharacters_data()
{
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("codePoints");
    QTest::addColumn<QList<int>>("lineAndColumn"); // of the first
    QTest::addColumn<QByteArray>("written");       // with references
    const QString text = QStringLiteral("<p>\r\n漢\U0001F600¥\uE000¦</p>");
    QTest::newRow("EUC-JP") << Encoding::EucJp << text << QList<int>{0x1F600, 0xA5, 0xE000} << QList<int>{2, 2}
                            << QByteArray("<p>\r\n\xB4\xC1&#128512;&#165;&#57344;\x8F\xA2\xC3</p>");
    QTest::newRow("ISO-2022-JP") << Encoding::Iso2022Jp << text << QList<int>{0x1F600, 0xE000} << QList<int>{2, 2}
                                 << QByteArray("<p>\r\n\x1B$B4A\x1B(B&#128512;\x1B(J\\&#57344;\x1B$(D\"C\x1B(B</p>");
    QTest::newRow("UTF-8, a byte order mark not asked for")
        << Encoding::Utf8 << QStringLiteral("\uFEFF😀") << QList<int>{0xFEFF} << QList<int>{1, 1}
        << QByteArray("&#65279;\xF0\x9F\x98\x80");
}

void EncodingsTest::reportsUnencodableCharacters()
{
    QFETCH(Encoding, encoding);
    QFETCH(QString, text);
    QFETCH(QList<int>, codePoints);
    QFETCH(QList<int>, lineAndColumn);
    QFETCH(QByteArray, written);
    const EncodeResult r = encodeDocument(text, encoding, false, UnencodablePolicy::CharacterReference);
    QList<int> reported;
    for (const Unencodable &u : r.unencodable)
        reported << int(u.codePoint);
    QCOMPARE(reported, codePoints);
    QCOMPARE((QList<int>{int(r.unencodable[0].line), int(r.unencodable[0].column)}), lineAndColumn);
    QCOMPARE(r.bytes, written);
}

// Every EUC-JP code comes back, except the duplicates written under their
// preferred code; JIS X 0208 reads as in glibc's EUC-JP-MS but for rows
// 89-92, which that gives to private use.
void EncodingsTest::eucJpWritesPreferredCodes()
{
    iconv_t cd = iconv_open("UTF-16LE", "EUC-JP-MS");
    int assigned = 0;
    int unchanged = 0;
    for (int plane = 0; plane < 2; ++plane) {
        for (int first = 0xA1; first <= 0xFE; ++first) {
            for (int second = 0xA1; second <= 0xFE; ++second) {
                const QByteArray code = plane ? bytes({0x8F, first, second}) : bytes({first, second});
                const DecodedDocument ours = decodeAs(code, Encoding::EucJp);
                if (plane == 0 && first < 0xF9) {
                    char16_t glibc[4] = {};
                    char *in = const_cast<char *>(code.data());
                    char *out = reinterpret_cast<char *>(glibc);
                    size_t inLeft = 2, outLeft = sizeof glibc;
                    iconv(cd, nullptr, nullptr, nullptr, nullptr);
                    const bool reads = iconv(cd, &in, &inLeft, &out, &outLeft) != size_t(-1) && outLeft == 6
                                       && !(glibc[0] >= 0xE000 && glibc[0] <= 0xF8FF);
                    QVERIFY2(reads ? ours.text == QString(QChar(glibc[0])) : ours.keptBytes > 0, code.toHex().constData());
                }
                if (ours.keptBytes == 0) {
                    ++assigned;
                    unchanged += encodeDocument(ours.text, Encoding::EucJp, false, UnencodablePolicy::Omit).bytes == code;
                }
            }
        }
    }
    iconv_close(cd);
    QCOMPARE(assigned, 7336 + 6067);
    QCOMPARE(assigned - unchanged, 291);
}

void EncodingsTest::readsDeclaredCharsets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("encoding"); // -1: none of ours
    QTest::newRow("charset") << QStringLiteral("<html><head><meta charset=\"UTF-8\">") << "UTF-8" << int(Encoding::Utf8);
    QTest::newRow("http-equiv") << QStringLiteral("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">")
                                << "Shift_JIS" << int(Encoding::Cp932);
    QTest::newRow("unquoted, other order") << QStringLiteral("<meta content='text/html;charset=euc-jp' http-equiv=content-type>")
                                           << "euc-jp" << int(Encoding::EucJp);
    QTest::newRow("unknown label") << QStringLiteral("<meta charset=iso-8859-1>") << "iso-8859-1" << -1;
    QTest::newRow("content without http-equiv") << QStringLiteral("<meta name=x content=\"charset=utf-8\">") << "" << -1;
    QTest::newRow("past the first 1024 characters") << QString(1100, u' ') + QStringLiteral("<meta charset=utf-8>") << "" << -1;
}

void EncodingsTest::readsDeclaredCharsets()
{
    QFETCH(QString, text);
    QFETCH(QString, label);
    QFETCH(int, encoding);
    const std::optional<DeclaredCharset> declared = declaredCharset(text);
    QCOMPARE(declared ? declared->label : QString(), label);
    QCOMPARE(declared && declared->encoding ? int(*declared->encoding) : -1, encoding);
}

QTEST_GUILESS_MAIN(EncodingsTest)
#include "test_encodings.moc"
