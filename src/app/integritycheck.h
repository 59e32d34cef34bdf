#pragma once
#include <QString>

// The build seals the executable: it appends a trailer, kSealMarker followed by the
// SHA-256 of everything before it in 64 lower-case hex digits (sealexecutable.cmake).
// At start the program recomputes the digest of its own file and refuses to run when the
// trailer is missing or the digest differs, that is when the file was changed after
// the build (damaged on disk or in transfer, or tampered with).
enum class TIntegrity {
  Intact,
  Unreadable,  // the file could not be read
  Unsealed,    // no trailer
  Modified,    // the digest differs
};

inline constexpr char kSealMarker[] = "VLFW-SHA256:";

TIntegrity CheckExecutableSeal(const QString& path);

// The message shown when the check fails.
QString IntegrityFailureText(TIntegrity result);
