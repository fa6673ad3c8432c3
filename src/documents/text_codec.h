#pragma once

// The encodings a document can be in, how one is recognised when a file is
// read, and the conversion both ways.
//
// Every codec keeps what it cannot read: a byte that is not valid where it
// stands decodes to the placeholder U+DC00 + the byte (a lone low surrogate)
// and encodes back to that byte, so a file read and written unchanged comes
// back byte for byte. keptBytes counts them.
//
// Encoding promises, for every text: either it reports nothing and the bytes
// decode to exactly that text, or it reports the characters that would not
// come back. Besides characters the encoding lacks, that is a character that
// would join a kept byte before it into another character where no other code
// of it avoids that (code page 932 reads 82 61 as Ｂ, so "a" after a kept 0x82
// is reported), and a placeholder that would not read back as a kept byte. As
// &#N; a reported character cannot join anything. The one exception is
// intended: the JIS forms that Linux input methods type for ～ ‖ － ￠ ￡ ￢ ―
// are written as the look-alikes Windows has, in code page 932, EUC-JP and
// ISO-2022-JP, and read back as those.
#include "documents/codec_types.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace holvane {

enum class Encoding { Cp932, Utf8, EucJp, Iso2022Jp, Utf16Le, Utf16Be };

// In the order of the menus.
inline constexpr std::array<Encoding, 6> kEncodings = {
    Encoding::Cp932, Encoding::Utf8, Encoding::EucJp, Encoding::Iso2022Jp, Encoding::Utf16Le, Encoding::Utf16Be,
};

// The short name for the caption and the menus: "Shift_JIS" for code page
// 932, then "UTF-8", "EUC-JP", "ISO-2022-JP", "UTF-16LE", "UTF-16BE".
QString encodingName(Encoding encoding);

// Whether the encoding has a byte order mark: UTF-8 and UTF-16.
bool canHaveByteOrderMark(Encoding encoding);

struct DecodedDocument {
    QString text;
    qsizetype keptBytes = 0;
    Encoding encoding = Encoding::Cp932;
    bool byteOrderMark = false; // one was there and is not in `text`
};

// Reads a document. Without `forced` (the user's "reopen as"), the encoding
// is recognised from a sample of the bytes (encoding_detect.h has the
// details), in this order:
//  - a byte order mark: UTF-8, UTF-16LE, UTF-16BE;
//  - UTF-16 without one, where the zeros of ASCII (or the 0x30 of kana)
//    stand on one side of the units and the reading is clean;
//  - 7-bit bytes: ISO-2022-JP where an escape switches to JIS X 0208 or JIS
//    X 0201, code page 932 (ASCII) otherwise;
//  - UTF-8 where the sample reads as UTF-8 without a kept byte;
//  - ISO-2022-JP with a few stray bytes above 0x7F, unless those read as
//    better Japanese in another encoding;
//  - a <meta> charset, where its reading keeps no more bytes than another;
//  - otherwise the reading of UTF-8, EUC-JP, code page 932 and ISO-2022-JP
//    that weighs most as Japanese: every kept byte costs, kana and level-1
//    kanji gain, broken-up half-width katakana, level-2 and IBM kanji and
//    user-defined characters lose (japanese_measure.h). So damaged pages
//    keep their encoding, and EUC-JP with kanji but no kana is told from
//    code page 932. A character cut at the end is no damage. Code page 932
//    wins ties, and stays where nothing reads cleanly or as Japanese.
// A byte order mark of the encoding is taken off and noted.
DecodedDocument decodeDocument(QByteArrayView bytes, std::optional<Encoding> forced = std::nullopt);

// The encoding decodeDocument recognises, without reading the whole document.
Encoding recogniseEncoding(QByteArrayView bytes);

// Writes a document, with a byte order mark first when asked and the
// encoding has one.
EncodeResult encodeDocument(QStringView text, Encoding encoding, bool byteOrderMark,
                            UnencodablePolicy policy);

// The charset a page declares in <meta charset=...> or <meta http-equiv=
// "Content-Type" content="...; charset=..."> within its first 1024
// characters (where HTML wants it), as written, and the encoding that names
// if it is one of ours. "utf-16" names UTF-16LE, as browsers take it.
struct DeclaredCharset {
    QString label;
    std::optional<Encoding> encoding;
};
std::optional<DeclaredCharset> declaredCharset(QStringView text);

// The encoding an encoding label names (case and spaces ignored), if ours.
std::optional<Encoding> encodingForLabel(QStringView label);

} // namespace holvane
