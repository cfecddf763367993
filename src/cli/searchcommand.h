#pragma once

#include <QStringList>

// trawlbay-cli search yahoo URL MASK -o FILE.tbq [--threads N] [--subject P] [--author P]
//                                                [--filename P]
// trawlbay-cli search zing URL PASSWORD -o FILE.tbq [--threads N]
// Runs the search and writes its rows, in the list's standing order, as a queue file.
namespace SearchCommand {

// Exit status: 0 the search finished, 1 it was aborted or the file could not be written,
// 2 bad input.
int run(const QStringList &arguments);

} // namespace SearchCommand
