// The document codec against facts of Windows code page 932 that do not come
// from its own table: the codes Windows documents, glibc's encoder, and the
// count of codes that Windows writes back under another code.
#include "documents/cp932_codec.h"

#include <QTest>

#include <iconv.h>

using namespace holvane;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

QByteArray code(int c)
{
    return c < 0x100 ? bytes({c}) : bytes({c >> 8, c & 0xFF});
}

// glibc's CP932 encoder, which writes duplicates the way Windows does and
// writes look-alikes for the JIS forms that Linux input methods type.
std::optional<QByteArray> iconvEncode(char16_t ch)
{
    static iconv_t cd = iconv_open("CP932", "UTF-16LE");
    char in[2] = {char(ch & 0xFF), char(ch >> 8)};
    char out[8];
    char *inp = in;
    char *outp = out;
    size_t inLeft = 2;
    size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == size_t(-1))
        return std::nullopt;
    return QByteArray(out, qsizetype(sizeof out - outLeft));
}

bool isLead(int b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

} // namespace

class Cp932Test : public QObject {
    Q_OBJECT
private slots:
    void knownCodes();
    void encodeAgreesWithGlibcForEveryCharacter();
    void everyDoubleByteCodeComesBackExceptWindowsDuplicates();
    void invalidBytesAreKeptAndOnlyThemselves();
    void reportsEveryUnencodableCharacterWithItsPlace();
};

void Cp932Test::knownCodes()
{
    const std::pair<int, int> rows[] = {
        {0x00, 0x0000}, {0x1A, 0x001A}, {0x1C, 0x001C}, {0x5C, 0x005C}, {0x7E, 0x007E}, {0x7F, 0x007F},
        {0x80, 0x0080}, {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2}, {0xFF, 0xF8F3},
        {0xA1, 0xFF61}, {0xB1, 0xFF71}, {0xDF, 0xFF9F},
        {0x8140, 0x3000}, {0x815F, 0xFF3C}, {0x8160, 0xFF5E}, {0x8161, 0x2225}, {0x817C, 0xFF0D},
        {0x8191, 0xFFE0}, {0x8192, 0xFFE1}, {0x81CA, 0xFFE2}, {0x82A0, 0x3042}, {0x8341, 0x30A2},
        {0x889F, 0x4E9C}, {0x8ABF, 0x6F22}, {0x93FA, 0x65E5}, {0x967B, 0x672C}, {0x9FFC, 0x6ECC},
        {0xE040, 0x6F3E}, {0xEAA4, 0x7199},
        {0x8740, 0x2460}, {0x8754, 0x2160}, {0x8782, 0x2116}, {0x8790, 0x2252}, {0x879C, 0x222A},
        {0xED40, 0x7E8A}, {0xEEEF, 0x2170}, {0xEEF9, 0xFFE2}, {0xEEFC, 0xFF02},
        {0xFA40, 0x2170}, {0xFA4A, 0x2160}, {0xFA54, 0xFFE2}, {0xFA5B, 0x2235}, {0xFAB1, 0xFA11},
        {0xFBFC, 0x9AD9}, {0xFC4B, 0x9ED1},
        {0xF040, 0xE000}, {0xF0FC, 0xE0BB}, {0xF140, 0xE0BC}, {0xF9FC, 0xE757},
    };
    for (const auto &[c, u] : rows)
        QVERIFY2(cp932::decode(code(c)).text == QString(QChar(u)), qPrintable(QString::number(c, 16)));
}

void Cp932Test::encodeAgreesWithGlibcForEveryCharacter()
{
    int compared = 0;
    for (int u = 1; u < 0x10000; ++u) {
        if (QChar::isSurrogate(u))
            continue;
        const auto expected = iconvEncode(char16_t(u));
        const int ours = cp932::codeFor(char16_t(u));
        // glibc turns yen and overline into the backslash and the tilde, which
        // would rewrite HTML; and it has no codes for the five single bytes
        // that Windows reads as U+0080 and U+F8F0..U+F8F3.
        if (u == 0x00A5 || u == 0x203E) {
            QCOMPARE(ours, -1);
            continue;
        }
        if (u == 0x0080 || (u >= 0xF8F0 && u <= 0xF8F3)) {
            QVERIFY(ours >= 0);
            continue;
        }
        if (!expected) {
            if (ours != -1)
                QFAIL(qPrintable(QStringLiteral("U+%1 has code %2 but glibc has none").arg(u, 4, 16).arg(ours, 0, 16)));
            continue;
        }
        if (ours < 0 || code(ours) != *expected)
            QFAIL(qPrintable(QStringLiteral("U+%1: ours %2, glibc %3")
                                 .arg(u, 4, 16)
                                 .arg(ours, 0, 16)
                                 .arg(QString::fromLatin1(expected->toHex()))));
        ++compared;
    }
    QVERIFY(compared > 9000);
}

void Cp932Test::everyDoubleByteCodeComesBackExceptWindowsDuplicates()
{
    int defined = 0;
    int unchanged = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isLead(lead))
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const QByteArray pair = bytes({lead, trail});
            const auto decoded = cp932::decode(pair);
            if (decoded.keptBytes > 0)
                continue;
            QCOMPARE(decoded.text.size(), 1);
            ++defined;
            const QByteArray again = cp932::encode(decoded.text).bytes;
            QCOMPARE(again.size(), 2);
            QCOMPARE(cp932::decode(again).text, decoded.text);
            unchanged += again == pair;
        }
    }
    // Windows defines 9,604 double-byte codes and writes 398 of them back
    // under another code.
    QCOMPARE(defined, 9604);
    QCOMPARE(unchanged, 9206);
}

void Cp932Test::invalidBytesAreKeptAndOnlyThemselves()
{
    // Every undefined pair: the lead byte alone is kept, the byte after it is
    // read as what it is.
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isLead(lead))
            continue;
        for (int trail = 0; trail <= 0xFF; ++trail) {
            const QByteArray pair = bytes({lead, trail, '<'});
            const auto decoded = cp932::decode(pair);
            if (decoded.keptBytes == 0)
                continue;
            QCOMPARE(decoded.text.front(), QChar(0xDC00 + lead));
            QCOMPARE(decoded.text.back(), QChar(u'<'));
            QCOMPARE(cp932::encode(decoded.text).bytes, pair);
        }
    }
    const auto truncated = cp932::decode(bytes({'a', 0x82}));
    QCOMPARE(truncated.keptBytes, 1);
    QCOMPARE(cp932::encode(truncated.text).bytes, bytes({'a', 0x82}));
}

void Cp932Test::reportsEveryUnencodableCharacterWithItsPlace()
{
    const QString text = QStringLiteral("ab\r\ncd\U0001F600e\nx\u00A5\r\u203E") + QChar(0xD800) + u'z';
    const auto encoded = cp932::encode(text);
    QCOMPARE(encoded.unencodable.size(), size_t(4));
    const auto &emoji = encoded.unencodable[0];
    QCOMPARE(emoji.codePoint, char32_t(0x1F600));
    QCOMPARE(emoji.position, 6);
    QCOMPARE(emoji.line, 2);
    QCOMPARE(emoji.column, 3);
    QCOMPARE(encoded.unencodable[1].codePoint, char32_t(0xA5));
    QCOMPARE(encoded.unencodable[1].line, 3);
    QCOMPARE(encoded.unencodable[1].column, 2);
    QCOMPARE(encoded.unencodable[2].codePoint, char32_t(0x203E));
    QCOMPARE(encoded.unencodable[2].line, 4);
    QCOMPARE(encoded.unencodable[2].column, 1);
    QCOMPARE(encoded.unencodable[3].codePoint, char32_t(0xD800)); // a lone high surrogate is not a byte of ours
    QCOMPARE(encoded.bytes, QByteArray("ab\r\ncde\nx\rz"));
}

QTEST_GUILESS_MAIN(Cp932Test)
#include "test_cp932.moc"
