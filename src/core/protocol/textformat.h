#pragma once
#include <cstdarg>
#include <string>

// printf-style formatting into a string of whatever length the result needs, so no
// message can overflow a buffer or be cut.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatTextV(const char* format, std::va_list args);
