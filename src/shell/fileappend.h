#pragma once
#include <QByteArray>
#include <QString>

// A file kept open for appending, created when it is missing. Every write lands at the
// end of the file, even when another process appends too. While it is open other
// processes may read it and delete or rename it.
class TAppendFile {
public:
  TAppendFile() = default;
  ~TAppendFile() { Close(); }
  TAppendFile(const TAppendFile&) = delete;
  TAppendFile& operator=(const TAppendFile&) = delete;

  bool Open(const QString& path);  // closes the file open before; false when it cannot
  bool IsOpen() const;
  // Appends the bytes in one write; false when not all of them were written.
  bool Append(const QByteArray& bytes);
  void Close();

private:
  // A descriptor, or a handle on Windows.
  qintptr Handle = -1;
};
