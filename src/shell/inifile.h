#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// An INI file read and written key by key. Lines the program does not change (comments,
// unknown sections and keys, blank lines) are kept as they stand, and keys keep their
// order, so the recent-file list comes back in the order it was written.
// Section and key names compare without regard to case; where a name occurs twice the
// first one counts. Values are trimmed of surrounding blanks.
// The file is UTF-8 (with or without a byte-order mark); a file that is not valid UTF-8
// is read as Windows-1251, the encoding of older settings files. It is written as UTF-8
// with CR LF line ends.
class TIniFile {
public:
  // Reads the file; a missing or unreadable file leaves the content empty and gives false.
  bool Load(const QString& path);
  // Writes the whole content through a temporary file, so a failed write leaves the old
  // file intact. False when the file could not be written.
  bool Save(const QString& path) const;

  void Parse(const QByteArray& bytes);
  QByteArray Serialize() const;

  QString ReadString(const QString& section, const QString& key, const QString& defaultValue = {}) const;
  void WriteString(const QString& section, const QString& key, const QString& value);
  void DeleteKey(const QString& section, const QString& key);
  // The key names of a section in file order.
  QStringList ReadSectionKeys(const QString& section) const;

private:
  struct TSectionRange {
    qsizetype Header = -1;  // index of the "[name]" line, -1 when the section is absent
    qsizetype End = 0;      // one past the section's last line
  };
  TSectionRange FindSection(const QString& section) const;
  qsizetype FindKey(const TSectionRange& range, const QString& key) const;

  std::vector<QString> Lines;
};
