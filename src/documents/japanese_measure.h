#pragma once

// How much a reading of some bytes looks like Japanese text: the yardstick
// that recognition holds the possible readings of a sample against.
// Internal to src/documents.
//
// A wrong reading of Japanese bytes keeps bytes it cannot read, or gives what
// Japanese text seldom holds: EUC-JP read as code page 932 gives half-width
// katakana broken by 、 and ・ and by voiced marks on letters that take none,
// level-2 and IBM kanji and user-defined characters; code page 932 read as
// EUC-JP keeps its kana bytes; UTF-8 read as either gives level-2 kanji and
// kept bytes. A right reading gives kana, punctuation and level-1 kanji.
#include "documents/text_codec.h"

#include <QStringView>

namespace holvane::detect {

struct Measure {
    qsizetype kept = 0;  // placeholders, less those of a character cut at the very end
    qsizetype weight = 0; // what the characters beyond ASCII weigh
    qsizetype score = 0;  // that less what the kept bytes cost
    qsizetype characters = 0; // beyond ASCII, read
};

// A reading of bytes in an encoding. Its last character may be cut by the
// end of the sample or of the file: that is no fault. In ISO-2022-JP only
// bytes above 0x7F count as kept; the escapes it keeps are its own.
Measure measureReading(QStringView text, Encoding encoding);

} // namespace holvane::detect
