// The seal of a Windows program, made by the build's sealing script, as signing leaves it:
// the certificate table appended after padding, the checksum field and the security
// directory entry changed. Anything else changed breaks it.
#include "shell/integritycheck.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

constexpr qint64 kPe = 0x80;                   // e_lfanew
constexpr qint64 kOptional = kPe + 24;         // after "PE\0\0" and the file header
constexpr qint64 kCheckSum = kOptional + 64;
constexpr qint64 kSecurity = kOptional + 96 + 4 * 8;  // PE32: data directory 4
constexpr qint64 kBody = 0x400;

void Put32(QByteArray& bytes, qint64 at, quint32 value) {
  qToLittleEndian(value, bytes.data() + at);
}

// A PE32 header with sixteen data directories and a body of code-like bytes.
QByteArray SmallPe() {
  QByteArray bytes(kBody + 3000, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  Put32(bytes, 0x3c, kPe);
  bytes.replace(kPe, 4, QByteArray("PE\0\0", 4));
  bytes[kOptional] = 0x0b;
  bytes[kOptional + 1] = 0x01;
  Put32(bytes, kOptional + 92, 16);
  Put32(bytes, kCheckSum, 0x0001f00d);  // the linker's checksum
  for (qint64 i = kBody; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 3);
  return bytes;
}

// What signing does to a sealed file: pads it to eight bytes, appends the certificate
// table, points the security directory at it and sets a new checksum.
QByteArray Signed(QByteArray sealed, qint64 tableSize = 1200) {
  while (sealed.size() % 8) sealed.append('\0');
  Put32(sealed, kSecurity, static_cast<quint32>(sealed.size()));
  Put32(sealed, kSecurity + 4, static_cast<quint32>(tableSize));
  Put32(sealed, kCheckSum, 0x00c0ffee);
  sealed.append(QByteArray(tableSize, '\x5a'));
  return sealed;
}

class PeSeal : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(Dir.isValid()); }

  QByteArray Sealed(const QByteArray& unsealed) {
    const QString path = Dir.filePath("sealing.exe");
    Write(path, unsealed);
    const int code = QProcess::execute(QStringLiteral(VL_SEAL_SCRIPT), {path});
    EXPECT_EQ(code, 0);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
  }
  TIntegrity Check(const QByteArray& bytes) {
    const QString path = Dir.filePath("check.exe");
    Write(path, bytes);
    return CheckExecutableSeal(path);
  }
  static void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
  }

  QTemporaryDir Dir;
};

TEST_F(PeSeal, SigningKeepsItAndAnyOtherChangeBreaksIt) {
  const QByteArray sealed = Sealed(SmallPe());
  ASSERT_EQ(sealed.size() % 8, 4);  // so that signing pads it
  const QByteArray signedFile = Signed(sealed);
  const auto flipped = [](QByteArray bytes, qint64 at) {
    bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
    return bytes;
  };
  QByteArray otherDigest = signedFile;
  char& digit = otherDigest[sealed.size() - 1];
  digit = digit == '0' ? '1' : '0';
  QByteArray tableElsewhere = signedFile;
  Put32(tableElsewhere, kSecurity, 0x200);  // a directory that does not end the file

  const struct {
    const char* name;
    QByteArray bytes;
    TIntegrity expected;
  } cases[] = {
      {"as sealed", sealed, TIntegrity::Intact},
      {"signed", signedFile, TIntegrity::Intact},
      {"checksum field only", flipped(sealed, kCheckSum), TIntegrity::Intact},
      {"a byte of the certificate table", flipped(signedFile, signedFile.size() - 10), TIntegrity::Intact},
      {"a body byte, unsigned", flipped(sealed, kBody + 100), TIntegrity::Modified},
      {"a body byte, signed", flipped(signedFile, kBody + 100), TIntegrity::Modified},
      {"a header byte beside the checksum", flipped(signedFile, kCheckSum + 4), TIntegrity::Modified},
      {"a header byte beside the security entry", flipped(signedFile, kSecurity - 1), TIntegrity::Modified},
      {"a digest digit", otherDigest, TIntegrity::Modified},
      {"security directory not at the end", tableElsewhere, TIntegrity::Unsealed},
      {"signed without the seal", Signed(SmallPe()), TIntegrity::Unsealed},
      {"cut short", sealed.left(sealed.size() - 1), TIntegrity::Unsealed},
  };
  for (const auto& c : cases) EXPECT_EQ(Check(c.bytes), c.expected) << c.name;
}

TEST_F(PeSeal, AHeaderThatDoesNotHoldTogetherIsSealedAsAWhole) {
  QByteArray badOffset = SmallPe();
  Put32(badOffset, 0x3c, 0x7ffffff0);  // e_lfanew far beyond the file
  QByteArray shortFile("MZ", 2);
  for (const QByteArray& unsealed : {badOffset, shortFile}) {
    const QByteArray sealed = Sealed(unsealed);
    EXPECT_EQ(Check(sealed), TIntegrity::Intact);
    QByteArray changed = sealed;
    changed[1] = 'X';
    EXPECT_EQ(Check(changed), TIntegrity::Modified);
  }
}

TEST_F(PeSeal, TheScriptRefusesASignedFileAndSealsOnce) {
  const QByteArray sealed = Sealed(SmallPe());
  EXPECT_EQ(Sealed(sealed), sealed);
  const QString path = Dir.filePath("signed.exe");
  Write(path, Signed(SmallPe()));
  EXPECT_NE(QProcess::execute(QStringLiteral(VL_SEAL_SCRIPT), {path}), 0);
}

}  // namespace
