#include "app/windowfont.h"

#include <QFile>
#include <QFontDatabase>

namespace {
// Where Debian's fonts-wine puts them, for Wine's own use only.
const char* const kWineFonts[] = {"/usr/share/wine/fonts/tahoma.ttf",
                                  "/usr/share/wine/fonts/tahomabd.ttf"};
}  // namespace

void MakeWindowFontAvailable() {
  if (QFontDatabase::hasFamily(QStringLiteral("Tahoma"))) return;
  for (const char* path : kWineFonts)
    if (QFile::exists(QString::fromLatin1(path))) QFontDatabase::addApplicationFont(QString::fromLatin1(path));
}
