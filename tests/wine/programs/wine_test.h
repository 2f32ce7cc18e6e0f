// Check helpers of the test programs that run under Wine, after Wine's own conformance tests:
//
//   ok(condition, "format", ...)   counts a check; on failure prints "file:line: format..."
//   trace("format", ...)           prints a line of progress
//   return test_summary();         prints the totals; 0 when every check held, else 1
//
// Set a sentinel with SetLastError(0xdeadbeef) before a call whose error code matters.
#pragma once

#include <stdarg.h>
#include <stdio.h>

namespace wine_test {

inline int checks;
inline int failures;

inline void OkAt(const char* file, int line, int condition, const char* format, ...)
{
    ++checks;
    if (condition)
        return;
    ++failures;
    const char* base = file;
    for (const char* c = file; *c; ++c)
        if (*c == '/' || *c == '\\')
            base = c + 1;
    printf("%s:%d: Test failed: ", base, line);
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    printf("\n");
    fflush(stdout);
}

}  // namespace wine_test

#define ok(condition, ...) wine_test::OkAt(__FILE__, __LINE__, (condition) ? 1 : 0, __VA_ARGS__)
#define trace(...) (printf(__VA_ARGS__), printf("\n"), fflush(stdout))

inline int test_summary()
{
    printf("%d checks, %d failures\n", wine_test::checks, wine_test::failures);
    return wine_test::failures ? 1 : 0;
}
