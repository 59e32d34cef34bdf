#pragma once
#include <QString>
#include <QStringList>

// What the command line decides for the whole run: whether firmware comes from a file,
// and which file the file box starts with.
struct TCommandLine {
  bool ExternalFirmware = false;
  QString FileText;  // empty: the command line named no firmware file
};

// Reads the program's arguments (without the program's own name), first to last. Each
// argument loses one leading '/' or '-'. "externfirmware" (any case) selects file mode;
// an existing file whose extension is ".eraw" (any case) selects file mode and names
// the file, a later one replacing an earlier one. Everything else is ignored.
// On Windows the file name is taken in lower case. Elsewhere it keeps the case it was
// given in: on a file system that tells cases apart, a lower-cased path would name
// another file or none.
TCommandLine ParseCommandLine(const QStringList& arguments);
