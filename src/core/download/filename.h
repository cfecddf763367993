#pragma once

#include <QString>

// A file name from a page made safe as the name of a file in the download folder: the
// nine characters \ / : * ? " < > | and every control character become "_", and a name
// that is empty, "." or ".." becomes "_", so no name leaves the folder.
QString CleanFileName(const QString &name);

// The name a row's file is saved under: its cleaned name, or, when that says nothing
// (empty, "." or ".."), the last part of its URL's path, decoded and cleaned; "_" only when
// that says nothing either. A name like a part file's or a record's (".x.tbpart",
// ".x.tbpart.json", any case) starts with "_" instead of its dot.
QString downloadName(const QString &name, const QString &url);

// The k-th name for a file whose name is taken: "photo (2).jpg", "archive (3).tar.gz".
QString numberedName(const QString &name, int k);
