#pragma once
#include <QByteArray>
#include <QString>

// Appends bytes to a file in one write, creating the file when it is missing. While the
// file is open other processes may read it and delete or rename it. False when the file
// could not be opened or not all bytes were written.
bool AppendToFile(const QString& path, const QByteArray& bytes);
