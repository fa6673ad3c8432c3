#pragma once

// What the fuzz targets share. A failed check names itself and aborts, so
// that libFuzzer keeps the input and the replay test fails on it.
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace holvane::fuzz {

// The corpus file the replay driver is running, for the message.
inline const char *currentInput = nullptr;

[[noreturn]] inline void fail(const char *check, const QString &detail)
{
    std::fprintf(stderr, "fuzz check failed: %s\n  %s\n  input: %s\n", check, qPrintable(detail),
                 currentInput ? currentInput : "(libFuzzer's)");
    std::abort();
}

// The fuzz input read front to back; past its end every byte reads 0.
struct Input {
    const uint8_t *data;
    size_t size;
    bool empty() const { return size == 0; }
    uint8_t byte()
    {
        if (size == 0)
            return 0;
        --size;
        return *data++;
    }
    unsigned word() { return unsigned(byte()) << 8 | byte(); }
};

// A string with the characters spelled out, for messages.
inline QString escaped(const QString &s)
{
    QString out;
    for (const QChar c : s) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            out += c;
        else
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0'));
    }
    return out;
}

} // namespace holvane::fuzz

#define FUZZ_CHECK(condition, detail)                                                                                  \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            ::holvane::fuzz::fail(#condition, detail);                                                                 \
    } while (false)
