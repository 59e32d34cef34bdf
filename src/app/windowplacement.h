#pragma once
#include <QString>
#include <QStringView>
#include <array>

// The COMMON/MainForm value: window left, top, width, height, automatic writing (1/0),
// log pane height, log file (1/0).
struct TWindowPlacement {
  static constexpr int kFieldCount = 7;
  int Found = 0;                        // how many numbers stood in the text
  bool Trailing = false;                // something other than blanks followed them
  std::array<int, kFieldCount> Values;  // -1 where no number was found

  TWindowPlacement() { Values.fill(-1); }
  // Fewer than four numbers: the value is ignored as a whole.
  bool Usable() const { return Found >= 4; }
};

// Up to seven signed decimal numbers separated by single commas, each possibly preceded
// by blanks. Reading stops at the first thing that does not fit, and a number outside the
// range of int does not fit either.
TWindowPlacement ParseWindowPlacement(QStringView text);

QString FormatWindowPlacement(const std::array<int, TWindowPlacement::kFieldCount>& values);
