#pragma once

#include "documents/codec_types.h"

#include <QByteArrayView>
#include <QStringView>

// UTF-8 and UTF-16, with the placeholders of the other codecs for what is not
// valid: a byte that starts no UTF-8 character, and each byte of a lone
// surrogate unit or of an odd last byte in UTF-16. They can write every
// character, so they report only what would not read back as itself: a
// placeholder that would join others into a character or (UTF-16) could not
// stand on its own, a lone surrogate that is no placeholder, and U+FEFF at
// the start of a text written without a byte order mark (it would read as one).
namespace holvane::utf8 {

// A byte order mark is not taken off here.
DecodedText decode(QByteArrayView bytes);
EncodeResult encode(QStringView text, bool byteOrderMark, UnencodablePolicy policy);

} // namespace holvane::utf8

namespace holvane::utf16 {

DecodedText decode(QByteArrayView bytes, bool bigEndian);
EncodeResult encode(QStringView text, bool bigEndian, bool byteOrderMark, UnencodablePolicy policy);

} // namespace holvane::utf16
