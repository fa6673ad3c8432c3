#pragma once

#include "documents/codec_types.h"

#include <QByteArrayView>
#include <QStringView>

// ISO-2022-JP (RFC 1468, as browsers read it), on the character sets of
// jis_tables.h: ESC ( B for ASCII, ESC ( J for JIS X 0201 Roman (¥ and ‾),
// ESC ( I for half-width katakana, ESC $ B and ESC $ @ for JIS X 0208 (the
// same rows as EUC-JP), and ESC $ ( D for JIS X 0212, written only for
// characters JIS X 0208 lacks. It keeps what it cannot read as placeholders,
// as code page 932 does (text_codec.h has the promise).
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
