// Setup's check of a copied driver file against the package's, with any two contents: the
// answer is true exactly when both files hold the same bytes, and a missing file gives false.
#include "file_compare.h"
#include "fuzz_input.h"
#include "fuzz_temp_file.h"

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    uint8_t choice = input.Byte();
    std::string first = input.Field();
    std::string second = (choice & 1) ? first : input.Rest();
    if (choice & 2) {
        // Lengths around the comparison's 512-byte blocks.
        std::string unit = first.empty() ? std::string("a") : first;
        while (first.size() < 1024 + (choice >> 2))
            first += unit;
        second = first;
        if (choice & 4)
            second[second.size() - 1 - (choice >> 3)] ^= 1;
        if (choice & 8)
            second.push_back('\0');
    }

    static const std::string firstPath = ScratchPath("windrvr.sys");
    static const std::string secondPath = ScratchPath("copied.sys");
    WriteScratchFile(firstPath, first);
    WriteScratchFile(secondPath, second);
    FUZZ_CHECK(FilesHaveSameBytes(firstPath.c_str(), secondPath.c_str()) == (first == second));
    unlink(secondPath.c_str());
    FUZZ_CHECK(!FilesHaveSameBytes(firstPath.c_str(), secondPath.c_str()));
    FUZZ_CHECK(!FilesHaveSameBytes(secondPath.c_str(), firstPath.c_str()));
    return 0;
}
