#pragma once

#include <QStringList>

// trawlbay-cli download FILE.tbq --to DIR [--threads N] [--only PATTERN]
// Downloads every row of a queue file (or those whose file name matches PATTERN).
namespace DownloadCommand {

// Exit status: 0 every file arrived, 1 some failed (each named on stderr with its reason)
// or the run was aborted, 2 bad input.
int run(const QStringList &arguments);

} // namespace DownloadCommand
