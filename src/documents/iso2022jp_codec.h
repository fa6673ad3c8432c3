#pragma once

#include "documents/codec_types.h"

#include <QByteArrayView>
#include <QStringView>

// ISO-2022-JP (RFC 1468, as browsers read it), on the character sets of
// jis_tables.h: ESC ( B for ASCII, ESC ( J for JIS X 0201 Roman (¥ and ‾),
// ESC ( I for half-width katakana, ESC $ B and ESC $ @ for JIS X 0208 (the
// same rows as EUC-JP), and ESC $ ( D for JIS X 0212, which is read but not
// written: browsers do not read it, so what only JIS X 0212 has is reported
// as unencodable. It keeps what it cannot read as placeholders, as code page
// 932 does (text_codec.h has the promise).
//
// The encoder writes the usual form: an escape only where the next character
// needs a set the current one is not, ESC $ B for JIS X 0208, and ESC ( B at
// the end (so also before a line end that follows kanji). ESC ( J and ESC $ @
// are read as switches wherever they stand; other escapes that the encoder
// would not have written in that place (an escape that changes nothing, a
// missing ESC ( B at the end, ESC $ ( D before what JIS X 0208 has too) are
// kept as placeholders. So a file reads back byte for byte through the codec
// unless it switches with ESC ( J, ESC $ @ or ESC $ ( D; an unchanged file is
// written back from its own bytes (bytesOfUnchangedFile, document_file.h).
namespace holvane::iso2022jp {
DecodedText decode(QByteArrayView bytes);
EncodeResult encode(QStringView text, UnencodablePolicy policy = UnencodablePolicy::Omit);
// Whether 7-bit bytes switch to JIS X 0208 or JIS X 0201 anywhere.
bool hasJisEscape(QByteArrayView bytes);
} // namespace holvane::iso2022jp
