#include "documents/encoding_detect.h"

#include "documents/cp932_codec.h"
#include "documents/jis_tables.h"

#include <uchardet.h>

#include <memory>

namespace holvane::detect {
namespace {

constexpr qsizetype kSampleBytes = 64 * 1024;

struct Sample {
    qsizetype eucCharacters = 0; // of more than one byte
    qsizetype eucKana = 0;       // kana, Japanese punctuation, full-width letters and digits: rows 1-5
    qsizetype eucHiraganaKatakana = 0; // rows 4 and 5
    qsizetype eucInvalid = 0;
    qsizetype cp932Invalid = 0;
    qsizetype cp932PrivateUse = 0;

    bool eucValid() const { return eucInvalid * 64 <= eucCharacters && eucCharacters > 0; }
    bool eucReadsAsJapanese() const
    {
        return eucKana * 4 >= eucCharacters && eucKana >= 2 && eucHiraganaKatakana > 0;
    }
    bool cp932Broken() const { return cp932Invalid > 0 || cp932PrivateUse > 0; }
};

constexpr bool isEucByte(unsigned b) { return b >= 0xA1 && b <= 0xFE; }

// Reads the bytes as EUC-JP; stops early once they are plainly not.
void readAsEucJp(const unsigned char *p, const unsigned char *end, Sample &s)
{
    const jis::Tables &jis = jis::tables();
    while (p < end) {
        const unsigned b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        int length = 0;
        if (isEucByte(b) && end - p >= 2 && jis.at0208(b - 0x80, p[1] - 0x80) && isEucByte(p[1])) {
            length = 2;
            s.eucKana += b <= 0xA5;
            s.eucHiraganaKatakana += b == 0xA4 || b == 0xA5;
        } else if (b == 0x8E && end - p >= 2 && p[1] >= 0xA1 && p[1] <= 0xDF) {
            length = 2;
        } else if (b == 0x8F && end - p >= 3 && isEucByte(p[1]) && isEucByte(p[2])
                   && jis.at0212(p[1] - 0x80, p[2] - 0x80)) {
            length = 3;
        }
        if (length == 0) {
            ++s.eucInvalid;
            if (s.eucInvalid > 8 && !s.eucValid())
                return;
            ++p;
            continue;
        }
        ++s.eucCharacters;
        p += length;
    }
}

void readAsCp932(const unsigned char *p, const unsigned char *end, Sample &s)
{
    while (p < end) {
        const unsigned b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        if (!lead) {
            s.cp932PrivateUse += b == 0x80 || b == 0xA0 || b >= 0xFD;
            ++p;
        } else if (end - p >= 2 && cp932::decodePair(b, p[1])) {
            s.cp932PrivateUse += b >= 0xF0 && b <= 0xF9; // the user-defined rows
            p += 2;
        } else {
            ++s.cp932Invalid;
            ++p;
        }
    }
}

QByteArray uchardetVerdict(const unsigned char *p, const unsigned char *end)
{
    const std::unique_ptr<uchardet, void (*)(uchardet_t)> detector(uchardet_new(), uchardet_delete);
    if (!detector || uchardet_handle_data(detector.get(), reinterpret_cast<const char *>(p), size_t(end - p)) != 0)
        return {};
    uchardet_data_end(detector.get());
    return QByteArray(uchardet_get_charset(detector.get())).toUpper();
}

// The charset a page declares near its top, read from the bytes: the tag is
// ASCII in both encodings in question.
std::optional<Encoding> declared(QByteArrayView bytes)
{
    const QString top = QString::fromLatin1(bytes.first(std::min<qsizetype>(bytes.size(), 1024)));
    const std::optional<DeclaredCharset> charset = declaredCharset(top);
    return charset ? charset->encoding : std::nullopt;
}

} // namespace

Encoding eucJpOrCp932(QByteArrayView bytes)
{
    const auto *begin = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = begin + bytes.size();
    const auto *first = begin;
    while (first < end && *first < 0x80)
        ++first;
    const unsigned char *sampleEnd = first + std::min<qsizetype>(end - first, kSampleBytes);

    Sample s;
    readAsEucJp(first, sampleEnd, s);
    if (!s.eucValid())
        return Encoding::Cp932;
    readAsCp932(first, sampleEnd, s);
    const std::optional<Encoding> meta = declared(bytes);
    if (meta == Encoding::EucJp)
        return Encoding::EucJp;
    if (meta == Encoding::Cp932 && !s.cp932Broken())
        return Encoding::Cp932;
    if (s.cp932Broken() && s.eucInvalid == 0)
        return Encoding::EucJp;
    const QByteArray verdict = uchardetVerdict(first, sampleEnd);
    if (verdict == "EUC-JP")
        return s.eucKana > 0 ? Encoding::EucJp : Encoding::Cp932;
    if (verdict == "SHIFT_JIS")
        return Encoding::Cp932;
    return s.eucReadsAsJapanese() ? Encoding::EucJp : Encoding::Cp932;
}

} // namespace holvane::detect
