// CreateDirectoryPath with any install directory, against the stand-in's simulated files with a
// few files and directories already in place and, at times, one failing file call: it never
// writes past its working copy, creates nothing but directories, only along the path it was
// given, holds no handle afterwards, and when it answers true the whole path exists.
#include "install_paths.h"
#include "fuzz_input.h"

namespace {

const DWORD kErrors[] = {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED,
                         ERROR_FILENAME_EXCED_RANGE, 0xDEADBEEF};

// Plain components only: no "." or "..", no forward slash; for these the walk's prefixes are
// exactly the ancestors of the resolved path.
bool IsPlainPath(const std::string& path)
{
    const std::string parts = "\\" + path + "\\";
    return path.find('/') == std::string::npos && parts.find("\\.\\") == std::string::npos &&
           parts.find("\\..\\") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    uint8_t setup = input.Byte();
    uint8_t failure = input.Byte();
    std::string path = input.Field();

    sim::Reset();
    sim::AddDirectory("D:\\");
    sim::AddDirectory("\\\\server\\share");
    for (int i = 0; i < (setup & 3); ++i) {
        std::string existing = input.Field();
        if (setup & (4 << i))
            sim::AddFile(existing);
        else
            sim::AddDirectory(existing);
    }
    if (setup & 0x40) {
        // A current directory exists; "D:" alone names it, as Win32 resolves a bare drive.
        sim::AddDirectory("D:\\work");
        sim::machine().currentDir = "D:\\work";
    }
    if (failure & 0x80)
        sim::FailCallAt(failure & 7,
                        kErrors[(failure >> 3) % (sizeof kErrors / sizeof kErrors[0])]);

    auto before = sim::machine().files;
    bool created = CreateDirectoryPath(Exact(path));
    sim::ClearFailures();

    FUZZ_CHECK(sim::OpenHandleCount() == 0);
    sim::detail::FsPath target;
    bool resolvable = sim::detail::ResolvePath(path.c_str(), &target);
    for (const auto& entry : sim::machine().files) {
        if (before.count(entry.first))
            continue;
        FUZZ_CHECK(entry.second.directory);
        if (resolvable && IsPlainPath(path))
            FUZZ_CHECK(sim::detail::StartsWithNoCase(target.Full() + "\\", entry.first + "\\"));
    }
    for (const auto& entry : before)
        FUZZ_CHECK(sim::machine().files.count(entry.first) == 1);

    // True means every level exists now, the last one included. A UNC path without a share
    // (\\server or \\server\) has no level: it is accepted without a test.
    std::string walked = path.empty() || path.back() != '\\' ? path + "\\" : path;
    size_t serverEnd = walked.find('\\', 2);
    bool noShare =
        walked.compare(0, 2, "\\\\") == 0 &&
        (serverEnd == std::string::npos || walked.find('\\', serverEnd + 1) == std::string::npos);
    if (created && resolvable && !noShare)
        FUZZ_CHECK(GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES);
    return 0;
}
