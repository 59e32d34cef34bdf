#include "cli/console.h"

void WriteText(std::FILE* stream, const QByteArray& utf8) {
  std::fwrite(utf8.constData(), 1, static_cast<std::size_t>(utf8.size()), stream);
  std::fflush(stream);
}
