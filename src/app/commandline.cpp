#include "app/commandline.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Where the file system ignores case, an argument is taken in lower case, as the file box
// has always shown it; where it tells cases apart, a lower-cased path would name another
// file or none, so it keeps its case there.
#ifdef Q_OS_WIN
constexpr bool kLowerCaseArguments = true;
#else
constexpr bool kLowerCaseArguments = false;
#endif

bool HasErawExtension(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  const qsizetype dot = name.lastIndexOf(u'.');
  return dot >= 0 && name.mid(dot).compare(u".eraw", Qt::CaseInsensitive) == 0;
}

bool IsExistingEraw(const QString& path) {
  return !path.isEmpty() && HasErawExtension(path) && QFileInfo(path).isFile();
}

}  // namespace

TCommandLine ParseCommandLine(const QStringList& arguments) {
  TCommandLine result;
  for (const QString& argument : arguments) {
    QString text = kLowerCaseArguments ? argument.toLower() : argument;
    if (text.startsWith(u'/') || text.startsWith(u'-')) text.remove(0, 1);
    if (IsExistingEraw(text)) {
      result.ExternalFirmware = true;
      result.FileText = text;
    } else if (argument.startsWith(u'/') && QDir::isAbsolutePath(argument) &&
               IsExistingEraw(argument)) {
      // Where paths start with '/', dropping it would turn an absolute path into a
      // relative one; the path as given names the file.
      result.ExternalFirmware = true;
      result.FileText = argument;
    }
    if (text.compare(u"externfirmware", Qt::CaseInsensitive) == 0) result.ExternalFirmware = true;
  }
  return result;
}
