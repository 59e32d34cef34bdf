#pragma once
#include <QByteArray>
#include <QColor>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/loglevel.h"

// "Прибор" and the serial number right-aligned in seven places, or seven hyphens for an
// entry about no particular device; then a tab.
std::string LogLinePrefix(std::int32_t serial);

// Red for errors, green for successes, black for everything else.
QColor LogLevelColor(TLogLevel level);

// "YYYYMMDD.log".
QString LogFileName(const QDate& date);

// One record of a log file in Windows-1251: "[dd.mm.yyyy hh:mm:ss.zzz]", a tab, the
// line, CR LF.
QByteArray LogFileRecord(const QDateTime& when, std::string_view line);
