#pragma once

#include "documents/codec_types.h"

#include <QByteArrayView>
#include <QStringView>

// EUC-JP, on the character sets of jis_tables.h. It keeps what it cannot
// read as placeholders, as code page 932 does, and encodes back byte for byte
// (text_codec.h has the promise).
//
// Read as browsers read it: ASCII; JIS X 0208 in two bytes 0xA1-0xFE with NEC
// row 13 (0xAD) and the NEC-selected IBM extensions (0xF9-0xFC); half-width
// katakana after 0x8E; JIS X 0212 in three bytes after 0x8F.
// Written: each character under its JIS X 0208 code, except that the IBM
// extension kanji that JIS X 0212 also has are written there, where glibc,
// eucJP-ms and browsers all read them; rows 89-92 only for the rest. The 291
// codes of characters that have a preferred code elsewhere are written under
// that one, as code page 932 does with its duplicates.
namespace holvane::eucjp {
DecodedText decode(QByteArrayView bytes);
EncodeResult encode(QStringView text, UnencodablePolicy policy = UnencodablePolicy::Omit);
} // namespace holvane::eucjp
