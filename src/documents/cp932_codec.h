#pragma once

#include "documents/codec_types.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Windows code page 932 (Windows-31J), the default encoding of documents.
//
// The conversion is table driven and agrees with Windows in both directions.
// It never loses a byte: a lead byte that starts no character where it stands
// decodes to a lone surrogate U+DC81..U+DCFC that encodes back to exactly that
// byte. Encoding keeps the promise of text_codec.h: what it writes reads back
// as the text, or it reports the characters that would not.
namespace holvane::cp932 {

using holvane::EncodeResult;
using holvane::Unencodable;
using holvane::UnencodablePolicy;
using DecodeResult = holvane::DecodedText;

DecodeResult decode(QByteArrayView bytes);

EncodeResult encode(QStringView text, UnencodablePolicy policy = UnencodablePolicy::Omit);

// The code that encode writes for a single BMP character, or -1 when it has
// none: a value below 0x100 is one byte, anything else a lead and trail byte.
int codeFor(char16_t ch);

// The character of a double-byte code, or 0 where there is none. The
// JIS-based codecs take their JIS X 0208 rows from here.
char16_t decodePair(unsigned lead, unsigned trail);

} // namespace holvane::cp932
