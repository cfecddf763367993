#pragma once

#include <QString>

// A file name from a page made safe as the name of a file in the download folder: the
// nine characters \ / : * ? " < > | and every control character become "_", and a name
// that is empty, "." or ".." becomes "_", so no name leaves the folder.
QString CleanFileName(const QString &name);
