#pragma once
#include <QString>
#include <QStringList>

#include "protocol/logsink.h"

// What the window keeps between runs.
struct TWindowSettings {
  QString Placement;  // COMMON/MainForm: place, size, check boxes, log height (windowplacement.h)
  QString LastFile;   // COMMON/LastFile: the file box's text
  QStringList RecentFiles;  // FILES, newest first
};

// The window's settings file: a value in, a value out. The file lives beside the program;
// when the program's folder does not take it (a protected installation folder, read-only
// media) it goes to the user's data folder, where a file left beside the program still
// serves as the starting point. A copy installed for all users keeps it in the user's
// data folder from the start.
class TSettingsStore {
public:
  // Chooses the file for a program in programDir (ends in '/'); a move to the user's
  // folder of a copy that is not installed is said in the log.
  TSettingsStore(const QString& programDir, TLogSink& log);

  QString Path() const { return File; }

  // The stored settings; loaded says whether a file was read.
  TWindowSettings Read(bool* loaded = nullptr) const;
  // Keeps the file's other keys and lines. When the file takes nothing, the user's data
  // folder is tried: the window is going, and there is nowhere left to say it.
  void Write(const TWindowSettings& settings) const;

private:
  QString File;
};
