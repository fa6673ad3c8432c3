// The document codecs: reading and writing files byte for byte, and the
// promise that what is written reads back as the text or is reported
// (text_codec.h).
#include "documents/text_codec.h"
#include "japanese_pages.h"

#include <QRandomGenerator>
#include <QTest>

#include <iconv.h>

using namespace holvane;
using namespace holvane::test;

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

// Random bytes shaped like each encoding's files, so that decoders meet valid
// characters, bytes they must keep and (ISO-2022-JP) escapes of every kind.
// Where the bytes must come back: without the codes of characters that have
// a preferred code elsewhere (Windows' duplicates and their JIS rows), and
// in ISO-2022-JP without the escapes that are read but written otherwise (ESC
// ( J, ESC $ @) or not at all (ESC $ ( D): a file keeps those through its
// own bytes (unchangedFilesComeBackByteForByte).
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
        const QByteArray rest = out.mid(i + 1, 3);
        if (!withDuplicates && e == Encoding::Iso2022Jp && b == 0x1B
            && (rest.startsWith("(J") || rest.startsWith("$@") || rest.startsWith("$(D")))
            out[i] = 'x';
    }
    return out;
}

DecodedDocument decodeAs(const QByteArray &b, Encoding e) { return decodeDocument(b, e); }

// Whether ISO-2022-JP bytes switch with an escape that the encoder writes
// otherwise or not at all.
bool hasEscapeNotWritten(const QByteArray &bytes)
{
    return bytes.contains("\x1B(J") || bytes.contains("\x1B$@") || bytes.contains("\x1B$(D");
}

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
    void filesComeBackByteForByte_data();
    void filesComeBackByteForByte();
    void whatIsWrittenReadsBackOrIsReported_data();
    void whatIsWrittenReadsBackOrIsReported();
    void joinsWithKeptBytes_data();
    void joinsWithKeptBytes();
    void reportsUnencodableCharacters_data();
    void reportsUnencodableCharacters();
    void readsEveryIso2022JpEscape_data();
    void readsEveryIso2022JpEscape();
    void eucJpWritesPreferredCodes();
    void readsDeclaredCharsets_data();
    void readsDeclaredCharsets();
};

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
        // Opened and saved without an edit: nothing to report, nothing
        // changes; but in ISO-2022-JP, what only JIS X 0212 has is reported,
        // and so is a byte kept from the file after an escape that the
        // encoder does not write (those files are written back from their
        // own bytes).
        const QByteArray raw = noise(encoding, random, 60);
        QString text = decodeAs(raw, encoding).text;
        const EncodeResult unedited = encodeDocument(text, encoding, false, policy);
        QVERIFY(unedited.unencodable.empty() || (encoding == Encoding::Iso2022Jp && hasEscapeNotWritten(raw)));
        QCOMPARE(decodeAs(unedited.bytes, encoding).text, expectedAfterWriting(text, unedited, policy));
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
    QTest::newRow("ISO-2022-JP") << Encoding::Iso2022Jp << text << QList<int>{0x1F600, 0xE000, 0xA6} << QList<int>{2, 2}
                                 << QByteArray("<p>\r\n\x1B$B4A\x1B(B&#128512;\x1B(J\\&#57344;&#166;</p>\x1B(B");
    // Browsers read no JIS X 0212 in ISO-2022-JP: what only it has is asked about.
    QTest::newRow("ISO-2022-JP, JIS X 0212 only") << Encoding::Iso2022Jp << QStringLiteral("café 丂\r\n")
                                                  << QList<int>{0xE9, 0x4E02} << QList<int>{1, 4}
                                                  << QByteArray("caf&#233; &#19970;\r\n");
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

void EncodingsTest::readsEveryIso2022JpEscape_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("text");
    QTest::newRow("ESC ( J") << QByteArray("\x1B(Jabc \\100~\x1B(B") << QStringLiteral("abc ¥100‾");
    QTest::newRow("ESC $ @") << QByteArray("\x1B$@4A;z\x1B(B") << QStringLiteral("漢字");
    QTest::newRow("both, as old mail has them") << QByteArray("\x1B$@F|K\\\x1B(J and \x1B$@8l\x1B(J\r\n")
                                                << QStringLiteral("日本 and 語\r\n");
    QTest::newRow("no final reset") << QByteArray("a\x1B$@4A") << QStringLiteral("a漢");
    QTest::newRow("JIS X 0201 Roman to the end") << QByteArray("\x1B$@4A\x1B(J~") << QStringLiteral("漢‾");
}

// ESC ( J and ESC $ @ are valid switches, read without a kept byte; the
// encoder writes its own escapes for the same text.
void EncodingsTest::readsEveryIso2022JpEscape()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, text);
    const DecodedDocument read = decodeAs(input, Encoding::Iso2022Jp);
    QCOMPARE(read.text, text);
    QCOMPARE(read.keptBytes, 0);
    const EncodeResult written = encodeDocument(text, Encoding::Iso2022Jp, false, UnencodablePolicy::Omit);
    QCOMPARE(decodeAs(written.bytes, Encoding::Iso2022Jp).text, text);
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
