#include "shell/integritycheck.h"

#include <QCryptographicHash>
#include <QFile>
#include <QtEndian>
#include <vector>

namespace {

constexpr qint64 kMarkerLength = sizeof(kSealMarker) - 1;
constexpr qint64 kDigestLength = 64;
constexpr qint64 kTrailerLength = kMarkerLength + kDigestLength;
constexpr qint64 kChunk = 1 << 20;
constexpr qint64 kMaxSignaturePadding = 7;

struct TRange {
  qint64 Offset = 0;
  qint64 Length = 0;
};

// What the seal covers in a file of `size` bytes: up to `End`, with the `Zeroed` header
// fields counting as zeros.
struct TSealedPart {
  qint64 End = 0;
  std::vector<TRange> Zeroed;
};

bool IsLowerHex(const QByteArray& text) {
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

quint32 ReadU32(const QByteArray& bytes, qint64 at) {
  return qFromLittleEndian<quint32>(bytes.constData() + at);
}

// For a PE file, the checksum field and the security directory entry, and the start of
// the certificate table when the file is signed. Anything else (an ELF file, or a header
// that does not hold together) is sealed as a whole.
TSealedPart SealedPart(QFile& file, qint64 size) {
  TSealedPart part{size, {}};
  if (!file.seek(0)) return part;
  const QByteArray head = file.read(4096);
  if (head.size() < 0x40 || !head.startsWith("MZ")) return part;
  const qint64 pe = ReadU32(head, 0x3c);
  const qint64 optional = pe + 24;
  // The header within the first 4 KiB and whole in the file, as the sealing script has it.
  if (pe < 0x40 || pe > 2048 || pe + 184 > head.size() || head.mid(pe, 4) != QByteArray("PE\0\0", 4))
    return part;
  const quint16 magic = qFromLittleEndian<quint16>(head.constData() + optional);
  const qint64 directoryCountAt = optional + (magic == 0x20b ? 108 : 92);
  if (magic != 0x10b && magic != 0x20b) return part;
  part.Zeroed.push_back({optional + 64, 4});  // CheckSum
  constexpr quint32 kSecurityDirectory = 4;
  const qint64 securityAt = directoryCountAt + 4 + 8 * kSecurityDirectory;
  if (ReadU32(head, directoryCountAt) <= kSecurityDirectory) return part;
  part.Zeroed.push_back({securityAt, 8});
  // The security directory holds a file offset, not an address: the certificate table
  // is the file's last part.
  const qint64 table = ReadU32(head, securityAt);
  const qint64 tableSize = ReadU32(head, securityAt + 4);
  if (table > 0 && tableSize > 0 && table + tableSize == size) part.End = table;
  return part;
}

}  // namespace

TIntegrity CheckExecutableSeal(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return TIntegrity::Unreadable;
  const TSealedPart part = SealedPart(file, file.size());

  // The trailer ends the sealed part, before the zeros that align a certificate table.
  const qint64 tailLength = qMin(part.End, kTrailerLength + kMaxSignaturePadding);
  if (!file.seek(part.End - tailLength)) return TIntegrity::Unreadable;
  QByteArray tail = file.read(tailLength);
  if (tail.size() != tailLength) return TIntegrity::Unreadable;
  if (part.End != file.size())
    while (!tail.isEmpty() && tail.endsWith('\0')) tail.chop(1);
  if (tail.size() < kTrailerLength) return TIntegrity::Unsealed;
  const QByteArray trailer = tail.right(kTrailerLength);
  const QByteArray stored = trailer.mid(kMarkerLength);
  if (!trailer.startsWith(kSealMarker) || !IsLowerHex(stored)) return TIntegrity::Unsealed;
  const qint64 sealedLength = part.End - tailLength + tail.size() - kTrailerLength;

  if (!file.seek(0)) return TIntegrity::Unreadable;
  QCryptographicHash hash(QCryptographicHash::Sha256);
  qint64 at = 0;
  while (at < sealedLength) {
    QByteArray chunk = file.read(qMin(sealedLength - at, kChunk));
    if (chunk.isEmpty()) return TIntegrity::Unreadable;
    for (const TRange& field : part.Zeroed)
      for (qint64 i = qMax(field.Offset, at); i < qMin(field.Offset + field.Length, at + chunk.size()); ++i)
        chunk[i - at] = '\0';
    hash.addData(chunk);
    at += chunk.size();
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
