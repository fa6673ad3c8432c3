#pragma once

#include <QString>

// What a user waits for with a real document: the program started with it
// until its window is painted and the program is quiet, Ctrl+End at once,
// a typed character with its undo snapshots, Select All and a paired tag,
// Undo, a 1 MiB paste, each until painted, the wrap switch until quiet and a
// key in the wrapping pane, and the peak memory. Every run is a fresh process.
namespace holvane::bench {

// The parent: writes the documents and runs `program --document FILE` for each.
void userBenchmark(const QString &program, const QString &japaneseText);

// The child, started by userBenchmark; `startedNs` is CLOCK_MONOTONIC when the
// parent started it.
int documentChild(int argc, char *argv[]);

} // namespace holvane::bench
