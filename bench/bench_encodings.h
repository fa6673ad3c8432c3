#pragma once

#include <QString>

namespace holvane {

// For about 10 MB of Japanese HTML in each document encoding: recognising
// its encoding alone (and that of 10 MB of ASCII), recognising and reading
// it, and writing it, in MB/s of the encoded bytes, next to glibc's
// iconv converting the same bytes (for EUC-JP its EUC-JP-MS and for
// ISO-2022-JP its ISO-2022-JP-3, which read ① and ～ as we do).
void encodingsBenchmark(const QString &japaneseHtml);

} // namespace holvane
