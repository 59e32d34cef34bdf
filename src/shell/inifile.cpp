#include "shell/inifile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <string>

#include "protocol/cp1251.h"

namespace {

// Lines are looked at through views: every lookup walks the lines, and trimmed copies of
// each made a settings file of many keys slow to read.
bool IsComment(QStringView trimmed) {
  return trimmed.startsWith(u';') || trimmed.startsWith(u'#');
}

// The section name of a "[name]" line; false when the line is no section header.
bool SectionHeader(QStringView line, QStringView* name) {
  const QStringView trimmed = line.trimmed();
  if (!trimmed.startsWith(u'[')) return false;
  const qsizetype close = trimmed.indexOf(u']');
  if (close < 0) return false;
  *name = trimmed.mid(1, close - 1).trimmed();
  return true;
}

// Splits a "key=value" line; false for lines without '=' and for comments.
bool KeyLine(QStringView line, QStringView* key, QStringView* value) {
  const QStringView trimmed = line.trimmed();
  if (trimmed.isEmpty() || IsComment(trimmed) || trimmed.startsWith(u'[')) return false;
  const qsizetype eq = trimmed.indexOf(u'=');
  if (eq <= 0) return false;
  *key = trimmed.left(eq).trimmed();
  if (value) *value = trimmed.mid(eq + 1).trimmed();
  return !key->isEmpty();
}

bool SameName(QStringView a, QStringView b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A line break inside a value would end the line and start another key.
QString SingleLine(QString text) {
  text.replace(u'\r', u' ');
  text.replace(u'\n', u' ');
  return text;
}

}  // namespace

bool TIniFile::Load(const QString& path) {
  Lines.clear();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  Parse(file.readAll());
  return true;
}

bool TIniFile::Save(const QString& path) const {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  const QByteArray bytes = Serialize();
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

void TIniFile::Parse(const QByteArray& bytes) {
  Lines.clear();
  QByteArray data = bytes;
  // Every leading byte-order mark goes: one left behind would stick to the first line,
  // hide its section, and the file written back would not read as it was read.
  while (data.startsWith("\xEF\xBB\xBF")) data.remove(0, 3);
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = decoder.decode(data);
  if (decoder.hasError()) {
    text = QString::fromStdString(Cp1251ToUtf8(std::string_view(data.constData(), data.size())));
  }
  const QStringList lines = text.split(u'\n');
  for (qsizetype i = 0; i < lines.size(); ++i) {
    QString line = lines[i];
    if (line.endsWith(u'\r')) line.chop(1);
    // The last piece after a final line break is no line of its own.
    if (i + 1 == lines.size() && line.isEmpty()) break;
    Lines.push_back(line);
  }
}

QByteArray TIniFile::Serialize() const {
  QByteArray out;
  for (const QString& line : Lines) {
    out += line.toUtf8();
    out += "\r\n";
  }
  return out;
}

TIniFile::TSectionRange TIniFile::FindSection(const QString& section) const {
  TSectionRange range;
  for (qsizetype i = 0; i < static_cast<qsizetype>(Lines.size()); ++i) {
    QStringView name;
    if (!SectionHeader(Lines[i], &name)) continue;
    if (range.Header >= 0) {
      range.End = i;
      return range;
    }
    if (SameName(name, section)) range.Header = i;
  }
  range.End = static_cast<qsizetype>(Lines.size());
  return range;
}

qsizetype TIniFile::FindKey(const TSectionRange& range, const QString& key) const {
  if (range.Header < 0) return -1;
  for (qsizetype i = range.Header + 1; i < range.End; ++i) {
    QStringView name;
    if (KeyLine(Lines[i], &name, nullptr) && SameName(name, key)) return i;
  }
  return -1;
}

QString TIniFile::ReadString(const QString& section, const QString& key,
                             const QString& defaultValue) const {
  const qsizetype index = FindKey(FindSection(section), key);
  if (index < 0) return defaultValue;
  QStringView name, value;
  KeyLine(Lines[index], &name, &value);
  return value.toString();
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
  TSectionRange range = FindSection(section);
  const qsizetype index = FindKey(range, key);
  if (index >= 0) {
    QStringView name;
    KeyLine(Lines[index], &name, nullptr);
    Lines[index] = name.toString() + u'=' + SingleLine(value);
    return;
  }
  const QString line = SingleLine(key) + u'=' + SingleLine(value);
  if (range.Header < 0) {
    if (!Lines.empty() && !QStringView(Lines.back()).trimmed().isEmpty()) Lines.emplace_back();
    Lines.push_back(u'[' + section + u']');
    Lines.push_back(line);
    return;
  }
  // After the section's last non-blank line, so a blank line before the next section stays.
  qsizetype at = range.End;
  while (at > range.Header + 1 && QStringView(Lines[at - 1]).trimmed().isEmpty()) --at;
  Lines.insert(Lines.begin() + at, line);
}

void TIniFile::DeleteKey(const QString& section, const QString& key) {
  const qsizetype index = FindKey(FindSection(section), key);
  if (index >= 0) Lines.erase(Lines.begin() + index);
}

QStringList TIniFile::ReadSectionKeys(const QString& section) const {
  QStringList keys;
  const TSectionRange range = FindSection(section);
  if (range.Header < 0) return keys;
  for (qsizetype i = range.Header + 1; i < range.End; ++i) {
    QStringView name;
    if (KeyLine(Lines[i], &name, nullptr)) keys << name.toString();
  }
  return keys;
}
