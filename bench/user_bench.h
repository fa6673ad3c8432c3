#pragma once

#include <QString>

// What a user waits for with a real document: the program started with it
// until its window is painted, a typed character, a paired tag on a
// 200-character selection and Undo, each to the pane laid out and painted
// again, and the peak memory. Every run is a fresh process.
namespace holvane::bench {

// The parent: writes the documents and runs `program --document FILE` for each.
void userBenchmark(const QString &program, const QString &japaneseText);

// The child, started by userBenchmark; `startedNs` is CLOCK_MONOTONIC when the
// parent started it.
int documentChild(int argc, char *argv[]);

} // namespace holvane::bench
