#pragma once

#include <QString>
#include <QStringView>

namespace holvane {

// Text that comes from outside (the clipboard, a drop, the keyboard, the
// input method) with every line end it may carry (LF, CR, CR LF, U+2028,
// U+2029) turned into the editor's own CR LF: whatever the pane shows as a
// line break is then a line end of the document, and one that any encoding
// can write. Text that has only CR LF is handed back as it is, not copied.
QString withOwnLineEnds(const QString &text);

// The line and paragraph separators alone turned into CR LF: what a command
// puts in keeps the line ends it has, but never one that no file keeps as a
// line end.
QString withSeparatorsAsLineEnds(const QString &text);

} // namespace holvane
