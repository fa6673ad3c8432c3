#pragma once

// Telling EUC-JP from code page 932, for bytes that are neither UTF-8 nor
// 7-bit. Internal to src/documents; text_codec.h has the whole order.
//
// Code page 932 reads almost any EUC-JP as valid too (as half-width katakana
// and rare kanji), while real code page 932 Japanese is almost never valid
// EUC-JP (its kana and punctuation have lead bytes 0x81-0x84, which EUC-JP
// lacks). So EUC-JP needs valid EUC-JP bytes (one bad sequence in 64 at
// most) and then one of, in order:
//  - a <meta> charset near the top that names EUC-JP;
//  - code page 932 reads bytes it cannot (or private-use characters) where
//    EUC-JP reads all;
//  - uchardet says EUC-JP, and the EUC-JP reading has kana, Japanese
//    punctuation or full-width letters (JIS rows 1-5);
//  - without a verdict from uchardet (short texts), those make up a quarter
//    of the EUC-JP reading's characters, two at least, with kana among them.
// A <meta> charset that names Shift_JIS, or uchardet saying so, keeps code
// page 932 where its reading is clean. Only a sample is looked at: 64 KB from
// the first byte above 0x7F.
#include "documents/text_codec.h"

namespace holvane::detect {

Encoding eucJpOrCp932(QByteArrayView bytes);

} // namespace holvane::detect
