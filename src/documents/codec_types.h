#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace holvane {

struct DecodedText {
    QString text;
    // How many bytes were not valid in the encoding and were kept as
    // placeholders (U+DC00 + the byte) that encode back to those bytes.
    qsizetype keptBytes = 0;
};

// A character that the document's encoding has no code for, or one that
// would not read back as itself where it stands (see text_codec.h).
struct Unencodable {
    qsizetype position = 0; // index into the text, in UTF-16 units
    qsizetype line = 1;     // 1-based; CR LF, CR and LF each end a line
    qsizetype column = 1;   // 1-based, in characters (a surrogate pair is one)
    char32_t codePoint = 0;
};

enum class UnencodablePolicy {
    Omit,               // report the character and write nothing for it
    CharacterReference, // report it and write it as &#NNNN;
};

struct EncodeResult {
    QByteArray bytes;
    std::vector<Unencodable> unencodable;
};

} // namespace holvane
