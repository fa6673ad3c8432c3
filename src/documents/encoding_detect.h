#pragma once

// Recognising the encoding of bytes that have no byte order mark. Internal
// to src/documents; text_codec.h has the whole order.
//
// Only a sample is read: the first 64 KB for UTF-16, and 64 KB from the
// first byte above 0x7F or escape for the rest, so that recognition costs
// the same on any size of file.
//  - UTF-16 without a byte order mark: the zeros of ASCII stand in every
//    other byte, on one side (LE or BE), and the sample reads cleanly.
//  - 7-bit bytes throughout: ISO-2022-JP where an escape switches to JIS X
//    0208 or JIS X 0201, otherwise ASCII (code page 932).
//  - Otherwise the sample is read as UTF-8, EUC-JP, code page 932 and, where
//    it has such an escape, ISO-2022-JP. A clean UTF-8 reading wins at once.
//    Else a charset declared in <meta> wins where its reading keeps no more
//    bytes than any other; else the reading that weighs most as Japanese
//    (japanese_measure.h): a kept byte costs more than several good
//    characters gain, so the reading that keeps fewest bytes wins unless it
//    gives half-width katakana broken up, level-2 kanji and the like. A
//    character cut at the end of the sample is no damage. Code page 932
//    wins ties: EUC-JP whose only Japanese is half-width katakana reads as
//    well as level-1 kanji there, and the other way round.
#include "documents/text_codec.h"

namespace holvane::detect {

Encoding recognise(QByteArrayView bytes);

} // namespace holvane::detect
