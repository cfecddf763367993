#pragma once

// A program started with a standard stream closed (">&- 2>&-") would hand descriptor 0, 1 or
// 2 to the first file it opens, and its own messages would land inside that file. Called
// first thing in main(), before Qt opens anything: every closed one of the three is opened
// on /dev/null.
namespace StandardStreams {

void ensureOpen();

} // namespace StandardStreams
