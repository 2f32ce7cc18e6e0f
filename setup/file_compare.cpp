// FilesHaveSameBytes on the C library's files; each file is closed on every path.
#include "file_compare.h"

#include <stdio.h>
#include <string.h>

namespace {

// Owns one open C file and closes it exactly once.
class FileOwner {
public:
    explicit FileOwner(const char* path) : m_file(fopen(path, "rb")) {}
    ~FileOwner() {
        if (m_file)
            fclose(m_file);
    }
    FILE* get() const { return m_file; }

private:
    FileOwner(const FileOwner&) = delete;
    FileOwner& operator=(const FileOwner&) = delete;
    FILE* m_file;
};

}  // namespace

bool FilesHaveSameBytes(const char* firstPath, const char* secondPath)
{
    FileOwner first(firstPath);
    FileOwner second(secondPath);
    if (!first.get() || !second.get())
        return false;
    char a[512];
    char b[512];
    for (;;) {
        size_t readA = fread(a, 1, sizeof a, first.get());
        size_t readB = fread(b, 1, sizeof b, second.get());
        if (readA != readB || memcmp(a, b, readA) != 0)
            return false;
        if (readA < sizeof a) {
            // Both stopped short: the end of both files, unless one of them failed to read.
            return !ferror(first.get()) && !ferror(second.get());
        }
    }
}
