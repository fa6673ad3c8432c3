#include "bench_encodings.h"

#include "documents/text_codec.h"

#include <QElapsedTimer>

#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace holvane {
namespace {

// The best of several runs: the machine's own noise only ever slows a run.
double bestMs(int runs, const std::function<void()> &work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

// Converts with glibc; `ms` is the best of several runs, or negative when
// iconv stopped before the end.
QByteArray iconvConvert(const char *to, const char *from, const QByteArray &input, double *ms)
{
    iconv_t cd = iconv_open(to, from);
    QByteArray output;
    bool stopped = cd == reinterpret_cast<iconv_t>(-1);
    *ms = stopped ? -1 : bestMs(7, [&] {
        output = QByteArray(input.size() * 2 + 16, Qt::Uninitialized);
        char *in = const_cast<char *>(input.constData());
        char *out = output.data();
        size_t inLeft = size_t(input.size());
        size_t outLeft = size_t(output.size());
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        stopped = iconv(cd, &in, &inLeft, &out, &outLeft) == size_t(-1) || inLeft != 0;
        output.truncate(output.size() - qsizetype(outLeft));
    });
    if (cd != reinterpret_cast<iconv_t>(-1))
        iconv_close(cd);
    if (stopped)
        *ms = -1;
    return output;
}

const char *iconvName(Encoding e)
{
    switch (e) {
    case Encoding::Cp932: return "CP932";
    case Encoding::Utf8: return "UTF-8";
    case Encoding::EucJp: return "EUC-JP-MS";
    case Encoding::Iso2022Jp: return "ISO-2022-JP-3";
    case Encoding::Utf16Le: return "UTF-16LE";
    case Encoding::Utf16Be: return "UTF-16BE";
    }
    return "";
}

// Recognising the encoding of 10 MB pages of every kind. It reads a sample,
// so it costs about the same on any size: what remains is finding the first
// byte above 0x7F (all of a page of ASCII) and an escape.
void recognitionBenchmark(const QString &japaneseHtml)
{
    struct Kind {
        const char *name;
        QByteArray bytes;
        Encoding expected;
    };
    auto bytesOf = [&](Encoding e, bool mark) {
        return encodeDocument(japaneseHtml, e, mark, UnencodablePolicy::CharacterReference).bytes;
    };
    QByteArray ascii(bytesOf(Encoding::Cp932, false).size(), 'a');
    for (qsizetype i = 80; i < ascii.size(); i += 81)
        ascii[i] = '\n';
    QByteArray strayAtTheEnd = ascii;
    strayAtTheEnd.back() = '\x85';
    QByteArray iso2022jpStray = bytesOf(Encoding::Iso2022Jp, false);
    iso2022jpStray.insert(iso2022jpStray.size() / 2, '\xA4');
    QByteArray utf8Stray = bytesOf(Encoding::Utf8, false);
    utf8Stray.insert(100, '\x85');
    const Kind kinds[] = {
        {"Shift_JIS", bytesOf(Encoding::Cp932, false), Encoding::Cp932},
        {"UTF-8", bytesOf(Encoding::Utf8, false), Encoding::Utf8},
        {"UTF-8, mark", bytesOf(Encoding::Utf8, true), Encoding::Utf8},
        {"UTF-8, stray", utf8Stray, Encoding::Utf8},
        {"EUC-JP", bytesOf(Encoding::EucJp, false), Encoding::EucJp},
        {"ISO-2022-JP", bytesOf(Encoding::Iso2022Jp, false), Encoding::Iso2022Jp},
        {"ISO-2022-JP, stray", iso2022jpStray, Encoding::Iso2022Jp},
        {"UTF-16LE", bytesOf(Encoding::Utf16Le, false), Encoding::Utf16Le},
        {"UTF-16BE", bytesOf(Encoding::Utf16Be, false), Encoding::Utf16Be},
        {"UTF-16LE, mark", bytesOf(Encoding::Utf16Le, true), Encoding::Utf16Le},
        {"ASCII", ascii, Encoding::Cp932},
        {"ASCII, stray at the end", strayAtTheEnd, Encoding::Cp932},
    };
    std::printf("recognition of 10 MB pages (ms, best of 7):\n");
    for (const Kind &k : kinds) {
        Encoding found = k.expected;
        const double ms = bestMs(7, [&] { found = recogniseEncoding(k.bytes); });
        std::printf("  %-24s %6.1f MB %8.3f ms%s\n", k.name, k.bytes.size() / 1e6, ms,
                    found == k.expected ? "" : qPrintable(QStringLiteral("  (recognised as %1!)").arg(encodingName(found))));
    }
}

} // namespace

void encodingsBenchmark(const QString &japaneseHtml)
{
    recognitionBenchmark(japaneseHtml);
    const QByteArray utf16(reinterpret_cast<const char *>(japaneseHtml.utf16()), japaneseHtml.size() * 2);
    std::printf("encodings, %.1f M characters of Japanese HTML (MB/s of the encoded bytes):\n",
                japaneseHtml.size() / 1e6);
    std::printf("  %-12s %8s  %21s %9s  %21s\n", "", "MB", "detect + decode", "", "encode");
    double cp932OpenMs = 0;
    for (Encoding e : kEncodings) {
        // UTF-16 as the editor writes it: with a byte order mark.
        const bool mark = e == Encoding::Utf16Le || e == Encoding::Utf16Be;
        const QByteArray bytes = encodeDocument(japaneseHtml, e, mark, UnencodablePolicy::CharacterReference).bytes;
        const QByteArray plain = mark ? bytes.sliced(2) : bytes;
        const double mb = bytes.size() / 1e6;
        Encoding detected = e;
        const double decode = bestMs(7, [&] { detected = decodeDocument(bytes).encoding; });
        const double encode = bestMs(7, [&] { encodeDocument(japaneseHtml, e, mark, UnencodablePolicy::CharacterReference); });
        double iconvEncode = 0;
        const QByteArray glibcBytes = iconvConvert(iconvName(e), "UTF-16LE", utf16, &iconvEncode);
        double iconvDecode = 0;
        iconvConvert("UTF-16LE", iconvName(e), plain, &iconvDecode);
        const char *note = "";
        if (iconvDecode < 0) {
            // glibc's ISO-2022-JP-3 wants ① under JIS X 0213's escape: it reads its own bytes instead.
            iconvConvert("UTF-16LE", iconvName(e), glibcBytes, &iconvDecode);
            note = "  (iconv reading its own bytes)";
        }
        if (e == Encoding::Cp932)
            cp932OpenMs = decode;
        std::printf("  %-12s %8.1f  %8.1f (iconv %6.1f, %4.1fx)  %8.1f (iconv %6.1f, %4.1fx)%s%s\n",
                    qPrintable(encodingName(e)), mb, mb / decode * 1e3, mb / iconvDecode * 1e3, iconvDecode / decode,
                    mb / encode * 1e3, mb / iconvEncode * 1e3, iconvEncode / encode, note,
                    detected == e ? "" : "  (recognised as another encoding!)");
        if (e == Encoding::Utf8)
            std::printf("  %-12s opening costs %.2fx code page 932's (%.1f ms against %.1f ms)\n", "", decode / cp932OpenMs,
                        decode, cp932OpenMs);
    }
}

} // namespace holvane
