#pragma once

#include <QDir>
#include <QFileInfo>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

// A broken invariant is a finding like a crash: abort so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #condition, __FILE__,           \
                         __LINE__);                                                                \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// Warnings printed for every odd input (a settings file kept aside, ...) would bury the
// fuzzer's own output and slow it down; fatal messages still show.
inline void quietQtMessages()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
}

// Template for the targets' scratch folders. Saves sync to disk, which on a real disk costs
// more than the parsing under test; on a RAM disk it is nearly free.
inline QString scratchTemplate()
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    const QString base = shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
    return base + QStringLiteral("/trawlbay-fuzz-XXXXXX");
}
