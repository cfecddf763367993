#pragma once

#include <QString>

#include "core/download/existingfiles.h"

class SettingsStore;

// The program-wide values read from the settings at start-up.
struct ProgramValues
{
    qint16 gNumberOfThreads = 4;
    int gRetries = 3; // further attempts after a transient failure
    ExistingFileChoice gIfFileExists = ExistingFileChoice::Replace;
    QString gQueueFolder;
    QString gFilterSubject;
    QString gFilterAuthor;
    QString gFilterFilename;
    QString gStartupQueueFile;

    // Reads the seven stored values; gStartupQueueFile comes from the command line.
    void load(const SettingsStore &store);
};

// A number of transfer slots as typed: a number with no "." whose value is a whole number
// from 1 to 16 (blanks around it and an exponent are accepted, as number parsing does);
// 0 when the text is not one.
int parseThreadsText(const QString &text);

// A stored number of transfer slots; anything parseThreadsText refuses falls back to the
// default of 4.
qint16 threadsFromText(const QString &text);

// A stored whole number (a width, a bound, a state); fallback when the text is not one.
// Decimal text such as "9200.5" is accepted and rounded, since bounds were written as
// single-precision numbers.
int numberFromText(const QString &text, int fallback);

// A stored number of retries: a whole number from 0 to 10; anything else is the default 3.
int retriesFromText(const QString &text);

// A stored choice for files that already exist: "replace", "skip" or "keep-both" (in any
// case); anything else is "replace".
ExistingFileChoice ifExistsFromText(const QString &text);
