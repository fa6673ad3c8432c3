#pragma once

#include "documents/codec_types.h"

#include <QByteArrayView>
#include <QStringView>

// The two other Japanese encodings of the web, on the character sets of
// jis_tables.h. Both keep what they cannot read as placeholders, as code page
// 932 does, and encode back byte for byte (text_codec.h has the promise).

// EUC-JP as browsers read it. Read: ASCII; JIS X 0208 in two bytes 0xA1-0xFE
// with NEC row 13 (0xAD) and the NEC-selected IBM extensions (0xF9-0xFC);
// half-width katakana after 0x8E; JIS X 0212 in three bytes after 0x8F.
// Written: each character under its JIS X 0208 code, except that the IBM
// extension kanji that JIS X 0212 also has are written there, where glibc,
// eucJP-ms and browsers all read them; rows 89-92 only for the rest. The 291
// codes of characters that have a preferred code elsewhere are written under
// that one, as code page 932 does with its duplicates.
namespace holvane::eucjp {
DecodedText decode(QByteArrayView bytes);
EncodeResult encode(QStringView text, UnencodablePolicy policy = UnencodablePolicy::Omit);
} // namespace holvane::eucjp

// ISO-2022-JP (RFC 1468, as browsers read it): ESC ( B for ASCII, ESC ( J for
// JIS X 0201 Roman (¥ and ‾), ESC ( I for half-width katakana, ESC $ B and
// ESC $ @ for JIS X 0208 (the same rows as EUC-JP), and ESC $ ( D for JIS X
// 0212, written only for characters JIS X 0208 lacks.
//
// The encoder writes the usual form: an escape only where the next character
// needs a set the current one is not, ESC $ B for JIS X 0208, and ESC ( B at
// the end (so also before a line end that follows kanji). Escapes that it would not have written in that place (ESC
// $ @, an escape that changes nothing, a missing ESC ( B at the end) are
// kept as placeholders, so that every file reads back byte for byte; those
// of the usual form vanish into the text.
namespace holvane::iso2022jp {
DecodedText decode(QByteArrayView bytes);
EncodeResult encode(QStringView text, UnencodablePolicy policy = UnencodablePolicy::Omit);
// Whether 7-bit bytes switch to JIS X 0208 or JIS X 0201 anywhere.
bool hasJisEscape(QByteArrayView bytes);
} // namespace holvane::iso2022jp
