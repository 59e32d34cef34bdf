#include "app/integritycheck.h"

#include <QCryptographicHash>
#include <QFile>

namespace {

constexpr qint64 kMarkerLength = sizeof(kSealMarker) - 1;
constexpr qint64 kDigestLength = 64;
constexpr qint64 kTrailerLength = kMarkerLength + kDigestLength;
constexpr qint64 kChunk = 1 << 20;

bool IsLowerHex(const QByteArray& text) {
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

}  // namespace

TIntegrity CheckExecutableSeal(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return TIntegrity::Unreadable;
  const qint64 size = file.size();
  if (size < kTrailerLength) return TIntegrity::Unsealed;
  const qint64 sealedLength = size - kTrailerLength;
  if (!file.seek(sealedLength)) return TIntegrity::Unreadable;
  const QByteArray trailer = file.read(kTrailerLength);
  if (trailer.size() != kTrailerLength) return TIntegrity::Unreadable;
  const QByteArray stored = trailer.mid(kMarkerLength);
  if (!trailer.startsWith(kSealMarker) || !IsLowerHex(stored)) return TIntegrity::Unsealed;

  if (!file.seek(0)) return TIntegrity::Unreadable;
  QCryptographicHash hash(QCryptographicHash::Sha256);
  qint64 left = sealedLength;
  while (left > 0) {
    const QByteArray chunk = file.read(qMin(left, kChunk));
    if (chunk.isEmpty()) return TIntegrity::Unreadable;
    hash.addData(chunk);
    left -= chunk.size();
  }
  return hash.result().toHex() == stored ? TIntegrity::Intact : TIntegrity::Modified;
}

QString IntegrityFailureText(TIntegrity result) {
  if (result == TIntegrity::Unreadable)
    return QStringLiteral("Не удалось прочитать файл программы для проверки целостности. "
                          "Программа будет закрыта.");
  return QStringLiteral("Файл программы повреждён или изменён. Программа будет закрыта. "
                        "Установите программу заново.");
}
