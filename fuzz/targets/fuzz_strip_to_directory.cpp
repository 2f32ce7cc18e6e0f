// StripToDirectory with any program path: it only ever shortens the path, to just behind its
// last backslash after the first character, and never reads or writes outside the string.
#include "install_paths.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    std::string path = input.Field();

    Exact exact(path);
    StripToDirectory(exact);
    size_t last = path.size() > 1 ? path.find_last_of('\\') : std::string::npos;
    size_t kept = last == std::string::npos || last == 0 ? path.size() : last + 1;
    FUZZ_CHECK(path.substr(0, kept) == (char*)exact);

    // As setup holds it: the module path in its 256-character global.
    char moduleDir[256];
    snprintf(moduleDir, sizeof moduleDir, "%s", path.c_str());
    StripToDirectory(moduleDir);
    FUZZ_CHECK(strnlen(moduleDir, sizeof moduleDir) < sizeof moduleDir);
    return 0;
}
