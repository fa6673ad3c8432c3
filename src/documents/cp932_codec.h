#pragma once


#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <vector>

// Windows code page 932 (Windows-31J), the code page of the documents.
//
// The conversion is table driven and agrees with Windows in both directions.
// It never loses a byte: a byte that is not valid code page 932 decodes to a
// lone surrogate U+DC80..U+DCFF that encodes back to exactly that byte.
namespace holvane::cp932 {

struct DecodeResult {
    QString text;
    // How many bytes were not valid code page 932 and were kept as escapes.
    qsizetype keptBytes = 0;
};

DecodeResult decode(QByteArrayView bytes);

// A character that code page 932 has no code for.
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

EncodeResult encode(QStringView text, UnencodablePolicy policy = UnencodablePolicy::Omit);

// The code that encode writes for a single BMP character, or -1 when it has
// none: a value below 0x100 is one byte, anything else a lead and trail byte.
int codeFor(char16_t ch);

} // namespace holvane::cp932
