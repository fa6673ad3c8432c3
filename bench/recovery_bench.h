#pragma once

#include <QString>

namespace holvane {

// The cost of keeping unsaved edits on a big page: a key pressed at a
// typist's pace with recovery on, next to the same keys with it off, and
// the time the writer thread takes for the page's recovery file.
void recoveryBenchmark(const QString &page);

} // namespace holvane
