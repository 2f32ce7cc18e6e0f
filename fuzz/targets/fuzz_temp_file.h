// Files the fuzz targets write their input into, in a folder of their own below $TMPDIR.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <unistd.h>

#include <string>
#include <vector>

namespace scratch_detail {
// Never destroyed, so that they outlive the exit handler that uses them.
inline std::string& Folder()
{
    static std::string* folder = new std::string;
    return *folder;
}
inline std::vector<std::string>& Files()
{
    static std::vector<std::string>* files = new std::vector<std::string>;
    return *files;
}
// Leaves nothing behind in $TMPDIR when the run ends.
inline void RemoveAll()
{
    for (const std::string& file : Files())
        unlink(file.c_str());
    rmdir(Folder().c_str());
}
}  // namespace scratch_detail

// The path of `name` in this process's scratch folder (made on first use).
inline std::string ScratchPath(const char* name)
{
    std::string& folder = scratch_detail::Folder();
    if (folder.empty()) {
        const char* base = getenv("TMPDIR");
        std::string pattern = std::string(base && base[0] ? base : "/tmp") + "/talven-fuzz-XXXXXX";
        char* made = mkdtemp(&pattern[0]);
        if (made == NULL) {
            perror("mkdtemp");
            abort();
        }
        folder = made;
        atexit(scratch_detail::RemoveAll);
    }
    scratch_detail::Files().push_back(folder + "/" + name);
    return folder + "/" + name;
}

inline void WriteScratchFile(const std::string& path, const std::string& content)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (file == NULL || fwrite(content.data(), 1, content.size(), file) != content.size() ||
        fclose(file) != 0) {
        perror(path.c_str());
        abort();
    }
}
