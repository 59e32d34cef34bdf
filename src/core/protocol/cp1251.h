#pragma once
#include <string>
#include <string_view>

// Windows-1251 lives only at the program's edges: bytes from devices and image files are
// decoded from it, the log file is encoded to it. Inside, text is UTF-8.

// Decodes Windows-1251 bytes to UTF-8. The one byte the code page leaves unassigned
// (0x98) becomes U+FFFD.
std::string Cp1251ToUtf8(std::string_view bytes);

// Encodes UTF-8 to Windows-1251. A character the code page lacks, or a malformed
// UTF-8 sequence, becomes '?'.
std::string Utf8ToCp1251(std::string_view utf8);

// Device texts reach the log: control characters (below 0x20 and 0x7F) other than tab
// become '?' so that a device cannot break a log line apart or hide text in it.
std::string Cp1251ToPrintableUtf8(std::string_view bytes);
