// Recognising a document's encoding (text_codec.h):
//  - any bytes get an answer, and it is the reading forced to that encoding;
//    a byte order mark and plain ASCII (without NUL, which UTF-16 has) are
//    recognised as documented;
//  - a random Japanese text written by glibc's iconv, an encoder of its own,
//    in encoding E is recognised as E: UTF-16 by its byte order mark, UTF-8
//    and ISO-2022-JP from one character beyond ASCII, and EUC-JP, code page
//    932 (which read each other's bytes) and UTF-16 without a byte order
//    mark from kMinimumBytes on.
#include "documents/text_codec.h"
#include "fuzz.h"

#include <QByteArray>

#include <algorithm>
#include <random>

#include <iconv.h>

using namespace holvane;

namespace {

// About 40 characters. Below it, a short random text can read as well in
// EUC-JP as in code page 932 (a few kanji against half-width katakana), or
// in UTF-16 have too few units that tell the byte order.
constexpr qsizetype kMinimumBytes = 80;

// A random text mixed as Japanese pages are: mostly hiragana, then kanji,
// katakana, punctuation and markup, a few full-width letters and half-width
// katakana. The fuzz input gives its length and seed; were it to choose each
// character, it could always build a text that reads well both ways.
QString japaneseText(uint32_t seed, qsizetype length, bool halfWidthKana)
{
    static const QString kanji = QStringLiteral(
        "日本語漢字文書作成表示編集保存開閉新規検索置換行列頁東京大阪天気予報"
        "会社員学校先生年月時分今何私人名前電話番号住所情報案内最近更新記事写真動画音楽映画旅行料理");
    static const QString punctuation = QStringLiteral("、。「」・ー！？（）：　");
    static const char *const markup[] = {"<P>", "</P>", "<BR>", "<A HREF=\"index.html\">", "</A>", "\r\n",
                                         " ",   "<TD>", "</TD>", "<B>",                      "</B>", "abc 2024"};
    std::minstd_rand random(seed);
    auto pick = [&](qsizetype n) { return int(random() % n); };
    QString text;
    while (text.size() < length) {
        const int kind = pick(100);
        if (kind < 45)
            text += QChar(0x3041 + pick(83));
        else if (kind < 70)
            text += kanji[pick(kanji.size())];
        else if (kind < 82)
            text += QChar(0x30A1 + pick(83));
        else if (kind < 90)
            text += punctuation[pick(punctuation.size())];
        else if (kind < 95)
            text += QLatin1String(markup[pick(std::size(markup))]);
        else if (kind < 97)
            text += QChar(0xFF21 + pick(26));
        else // ISO-2022-JP as iconv writes it has no half-width katakana
            text += halfWidthKana ? QChar(0xFF61 + pick(63)) : kanji[pick(kanji.size())];
    }
    return text;
}

QByteArray iconvEncode(const QString &text, const char *encoding)
{
    iconv_t cd = iconv_open(encoding, "UTF-16LE");
    FUZZ_CHECK(cd != iconv_t(-1), QString::fromLatin1(encoding));
    QByteArray out(text.size() * 8 + 16, '\0');
    char *from = const_cast<char *>(reinterpret_cast<const char *>(text.utf16()));
    size_t fromLeft = size_t(text.size()) * 2;
    char *to = out.data();
    size_t toLeft = size_t(out.size());
    const bool ok = iconv(cd, &from, &fromLeft, &to, &toLeft) != size_t(-1)
                    && iconv(cd, nullptr, nullptr, &to, &toLeft) != size_t(-1);
    iconv_close(cd);
    FUZZ_CHECK(ok, QString::fromLatin1(encoding) + QStringLiteral(": iconv cannot write ") + fuzz::escaped(text));
    out.truncate(out.size() - qsizetype(toLeft));
    return out;
}

void checkAnyBytes(const QByteArray &bytes)
{
    const DecodedDocument found = decodeDocument(bytes);
    const DecodedDocument forced = decodeDocument(bytes, found.encoding);
    FUZZ_CHECK(found.text == forced.text && found.keptBytes == forced.keptBytes
                   && found.byteOrderMark == forced.byteOrderMark,
               encodingName(found.encoding));
    const std::pair<const char *, Encoding> marks[] = {
        {"\xEF\xBB\xBF", Encoding::Utf8}, {"\xFF\xFE", Encoding::Utf16Le}, {"\xFE\xFF", Encoding::Utf16Be}};
    for (const auto &[mark, encoding] : marks)
        if (bytes.startsWith(mark))
            FUZZ_CHECK(found.encoding == encoding && found.byteOrderMark, encodingName(found.encoding));
    const bool ascii =
        std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return uchar(c) < 0x80 && c != 0x1B && c != 0; });
    if (ascii)
        FUZZ_CHECK(found.encoding == Encoding::Cp932 && found.text == QString::fromLatin1(bytes),
                   encodingName(found.encoding));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    checkAnyBytes(raw);

    fuzz::Input in{data, size};
    const uint8_t first = in.byte();
    const Encoding encoding = kEncodings[first % kEncodings.size()];
    const qsizetype length = in.word() % 400 + 1;
    uint32_t seed = 2166136261u; // FNV-1a of the rest
    while (!in.empty())
        seed = (seed ^ in.byte()) * 16777619u;
    const QString text = japaneseText(seed, length, encoding != Encoding::Iso2022Jp);
    const bool nonAscii = std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() >= 0x80; });
    QByteArray bytes;
    bool recognisable = nonAscii;
    switch (encoding) {
    case Encoding::Cp932: bytes = iconvEncode(text, "CP932"); break;
    case Encoding::EucJp: bytes = iconvEncode(text, "EUC-JP"); break;
    case Encoding::Iso2022Jp: bytes = iconvEncode(text, "ISO-2022-JP"); break;
    case Encoding::Utf8: bytes = (first & 0x80 ? "\xEF\xBB\xBF" : "") + iconvEncode(text, "UTF-8"); break;
    case Encoding::Utf16Le: bytes = (first & 0x80 ? "\xFF\xFE" : "") + iconvEncode(text, "UTF-16LE"); break;
    case Encoding::Utf16Be: bytes = (first & 0x80 ? "\xFE\xFF" : "") + iconvEncode(text, "UTF-16BE"); break;
    }
    const bool marked = (encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be) && first & 0x80;
    if (encoding == Encoding::Cp932 || encoding == Encoding::EucJp || encoding == Encoding::Utf16Le
        || encoding == Encoding::Utf16Be)
        recognisable = marked || bytes.size() >= kMinimumBytes;
    checkAnyBytes(bytes);
    if (recognisable) {
        const DecodedDocument found = decodeDocument(bytes);
        FUZZ_CHECK(found.encoding == encoding && found.text == text,
                   encodingName(encoding) + QStringLiteral(" read as ") + encodingName(found.encoding)
                       + QStringLiteral(": ") + fuzz::escaped(text));
    }
    return 0;
}
