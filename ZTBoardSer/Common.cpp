#include "Common.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

void ZTPrintLine(const char* fmt, ...)
{
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    // Several threads print; one lock keeps each line whole.
    static std::mutex s_lock;
    std::lock_guard<std::mutex> guard(s_lock);
    fputs(buf, stdout);
    fputc('\n', stdout);
    fflush(stdout);
}
