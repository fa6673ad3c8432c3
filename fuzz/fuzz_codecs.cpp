// Every codec against the promises of text_codec.h, for every encoding:
//  - bytes: read then written give back the same bytes, with nothing
//    reported, except where a character with several codes was written under
//    another of them; read, written and read again gives the same text;
//    keptBytes counts the placeholders, which stand for the bytes in order.
//    ISO-2022-JP bytes that switch with ESC ( J or ESC $ @ (written otherwise)
//    or ESC $ ( D (not written: an unchanged file keeps its own bytes) may
//    come back otherwise, and may report what only JIS X 0212 has and what
//    was kept after those escapes; the rest reads back;
//  - texts typed next to kept bytes: written with character references,
//    they read back as the text, each reported character as &#N; and the
//    JIS forms as their look-alikes; each report names its character, its
//    position and its line and column.
#include "documents/text_codec.h"
#include "fuzz.h"

#include <QByteArray>
#include <QHash>
#include <QSet>

#include <array>

using namespace holvane;

namespace {

// A kept byte: U+DC00 + the byte, standing alone (not the end of a pair).
bool isPlaceholderAt(QStringView text, qsizetype i)
{
    return text[i].unicode() >= 0xDC00 && text[i].unicode() <= 0xDCFF && (i == 0 || !text[i - 1].isHighSurrogate());
}

char32_t codePointAt(QStringView text, qsizetype i)
{
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(text[i], text[i + 1]);
    return text[i].unicode();
}

QSet<char32_t> codePoints(QStringView text)
{
    QSet<char32_t> set;
    for (qsizetype i = 0; i < text.size(); i += codePointAt(text, i) > 0xFFFF ? 2 : 1)
        set.insert(codePointAt(text, i));
    return set;
}

// The characters that an encoding reads from more than one code: only these
// may be written back under another code. Found by reading every code alone.
QSet<char32_t> charactersWithSeveralCodes(Encoding encoding)
{
    QHash<char32_t, int> codes;
    auto read = [&](const QByteArray &bytes) {
        const QString text = decodeDocument(bytes, encoding).text;
        if (!text.isEmpty() && text.size() == (codePointAt(text, 0) > 0xFFFF ? 2 : 1) && !isPlaceholderAt(text, 0))
            ++codes[codePointAt(text, 0)];
    };
    for (int a = 0; a < 0x100; ++a) {
        if (encoding == Encoding::Cp932 || encoding == Encoding::EucJp)
            read(QByteArray(1, char(a)));
        for (int b = 0; b < 0x100; ++b) {
            const QByteArray pair = QByteArray(1, char(a)) + char(b);
            if (encoding == Encoding::Cp932) {
                read(pair);
            } else if (encoding == Encoding::EucJp) {
                read(pair);
                if (a >= 0xA1 && b >= 0xA1)
                    read("\x8F" + pair);
            } else if (encoding == Encoding::Iso2022Jp && a >= 0x21 && a < 0x7F && b >= 0x21 && b < 0x7F) {
                read("\x1B$B" + pair + "\x1B(B");
                read("\x1B$(D" + pair + "\x1B(B");
            }
        }
    }
    QSet<char32_t> several;
    for (auto it = codes.cbegin(); it != codes.cend(); ++it)
        if (it.value() > 1)
            several.insert(it.key());
    return several;
}

// The JIS forms that input methods type, written as the look-alikes
// Windows has in the three Japanese encodings.
char16_t lookAlike(char16_t c)
{
    switch (c) {
    case 0x301C: return 0xFF5E;
    case 0x2016: return 0x2225;
    case 0x2212: return 0xFF0D;
    case 0x00A2: return 0xFFE0;
    case 0x00A3: return 0xFFE1;
    case 0x00AC: return 0xFFE2;
    case 0x2014: return 0x2015;
    default: return c;
    }
}

bool isJapanese(Encoding e) { return e == Encoding::Cp932 || e == Encoding::EucJp || e == Encoding::Iso2022Jp; }

// Line and column, 1-based, of a text index: CR LF, CR and LF each end a
// line, and a surrogate pair is one column.
std::pair<qsizetype, qsizetype> lineAndColumn(QStringView text, qsizetype at)
{
    qsizetype line = 1, column = 1;
    for (qsizetype i = 0; i < at; ++i) {
        if (text[i] == u'\r' || text[i] == u'\n') {
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            ++line;
            column = 1;
        } else {
            if (codePointAt(text, i) > 0xFFFF)
                ++i;
            ++column;
        }
    }
    return {line, column};
}

// What a user can put next to kept bytes: markup, line ends, kana, kanji
// (one beyond the BMP), characters with several codes, the JIS forms and
// characters some encodings lack. A byte 0xF0 and up keeps the next byte.
const std::array<const char16_t *, 40> kTyped = {
    u"a", u"B", u"@", u"<", u">", u"&", u"#", u";", u" ", u"\r", u"\n", u"\r\n", u"$", u"(", u"\x1B", u"\\",
    u"~", u"あ", u"ア", u"ｱ", u"ﾞ", u"漢", u"髙", u"纊", u"𠮷", u"¬", u"∵", u"≒", u"Ⅰ", u"ⅰ", u"㈱", u"〜",
    u"‖", u"−", u"¢", u"—", u"¥", u"é", u"😀", u"\uFEFF",
};

QString typedText(fuzz::Input in)
{
    QString text;
    while (!in.empty() && text.size() < 200) {
        const uint8_t b = in.byte();
        text += b >= 0xF0 ? QString(QChar(0xDC00 + in.byte())) : QString::fromUtf16(kTyped[b % kTyped.size()]);
    }
    return text;
}

void checkText(const QString &text, Encoding encoding, bool byteOrderMark)
{
    const EncodeResult written = encodeDocument(text, encoding, byteOrderMark, UnencodablePolicy::CharacterReference);
    const QString name = encodingName(encoding) + QStringLiteral(", ") + fuzz::escaped(text);
    QString expected;
    qsizetype done = 0;
    for (const Unencodable &u : written.unencodable) {
        FUZZ_CHECK(u.position >= done && u.position < text.size(), name);
        const char32_t c = codePointAt(text, u.position);
        FUZZ_CHECK(u.codePoint == c || (isJapanese(encoding) && c <= 0xFFFF && u.codePoint == lookAlike(char16_t(c))),
                   name + QStringLiteral(" reports U+%1 at %2").arg(uint(u.codePoint), 0, 16).arg(u.position));
        const auto [line, column] = lineAndColumn(text, u.position);
        FUZZ_CHECK(u.line == line && u.column == column,
                   name + QStringLiteral(" at %1: line %2 column %3").arg(u.position).arg(u.line).arg(u.column));
        expected += text.mid(done, u.position - done) + QStringLiteral("&#%1;").arg(uint(u.codePoint));
        done = u.position + (c > 0xFFFF ? 2 : 1);
    }
    expected += text.mid(done);
    if (isJapanese(encoding))
        for (QChar &c : expected)
            c = QChar(lookAlike(c.unicode()));
    const DecodedDocument read = decodeDocument(written.bytes, encoding);
    FUZZ_CHECK(read.text == expected, name + QStringLiteral(" reads back as ") + fuzz::escaped(read.text));
    FUZZ_CHECK(read.byteOrderMark == (byteOrderMark && canHaveByteOrderMark(encoding)), name);
}

void checkBytes(const QByteArray &bytes, Encoding encoding, const QSet<char32_t> &several)
{
    const DecodedDocument read = decodeDocument(bytes, encoding);
    const QString name = encodingName(encoding);
    qsizetype placeholders = 0;
    qsizetype from = 0; // each placeholder stands for one of the bytes, in order
    for (qsizetype i = 0; i < read.text.size(); ++i)
        if (isPlaceholderAt(read.text, i)) {
            ++placeholders;
            from = bytes.indexOf(char(read.text[i].unicode() - 0xDC00), from) + 1;
            FUZZ_CHECK(from > 0, name + QStringLiteral(": a placeholder for a byte not there"));
        }
    FUZZ_CHECK(read.keptBytes == placeholders, name);
    const EncodeResult written = encodeDocument(read.text, encoding, read.byteOrderMark, UnencodablePolicy::Omit);
    const bool escapesNotWritten = encoding == Encoding::Iso2022Jp
                                   && (bytes.contains("\x1B(J") || bytes.contains("\x1B$@") || bytes.contains("\x1B$(D"));
    FUZZ_CHECK(written.unencodable.empty() || escapesNotWritten,
               name + QStringLiteral(": a read text asks on saving, at ")
                   + QString::number(written.unencodable.front().position));
    if (!written.unencodable.empty()) {
        checkText(read.text, encoding, read.byteOrderMark);
        return;
    }
    const QString again = decodeDocument(written.bytes, encoding).text;
    FUZZ_CHECK(again == read.text, name + QStringLiteral(": ") + fuzz::escaped(read.text)
                                       + QStringLiteral(" reread as ") + fuzz::escaped(again));
    const bool mayChange = codePoints(read.text).intersects(several) || escapesNotWritten;
    FUZZ_CHECK(mayChange || written.bytes == bytes,
               name + QStringLiteral(": written as ") + QString::fromLatin1(written.bytes.toHex(' ')));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const auto several = [] {
        std::array<QSet<char32_t>, kEncodings.size()> sets;
        for (size_t i = 0; i < kEncodings.size(); ++i)
            sets[i] = charactersWithSeveralCodes(kEncodings[i]);
        return sets;
    }();
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = typedText({data, size});
    for (size_t i = 0; i < kEncodings.size(); ++i) {
        checkBytes(bytes, kEncodings[i], several[i]);
        checkText(text, kEncodings[i], size > 0 && data[0] & 1);
    }
    return 0;
}
