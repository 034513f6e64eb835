// printf-style formatting into std::string, so that the system's own message
// formats can stay exactly as written while the text goes wherever it must.
#pragma once

#include <cstdarg>
#include <string>

std::string strprintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string vstrprintf(const char* format, va_list args);
