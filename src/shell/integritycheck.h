#pragma once
#include <QString>

// The build seals each program: it appends a trailer, kSealMarker followed by the SHA-256
// of everything before it in 64 lower-case hex digits (sealexecutable.sh). At start the
// program recomputes the digest of its own file and refuses to run when the trailer is
// missing or the digest differs, that is when the file was changed after the build
// (damaged on disk or in transfer, or tampered with).
//
// A Windows program may be signed after it was sealed. Authenticode signing changes the
// PE header's checksum field and its security directory entry and appends the
// certificate table (after padding the file to eight bytes); its own hash leaves exactly
// these out. The seal does the same: the two header fields count as zeros, and the
// trailer is looked for just before the certificate table and its padding. Any other
// changed byte still breaks the seal.
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
