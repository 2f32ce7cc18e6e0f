// Setup's check of a copied driver file against the package's, with any two contents: the
// answer is true exactly when both files hold the same bytes, and a missing file gives false.
// The files live on the stand-in's simulated disk.
#include "file_compare.h"
#include "fuzz_input.h"

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

    const char firstPath[] = "C:\\DIST\\windrvr.sys";
    const char secondPath[] = "C:\\WINDOWS\\windrvr.sys";
    sim::Reset();
    sim::AddFile(firstPath, FILE_ATTRIBUTE_NORMAL, first);
    sim::AddFile(secondPath, FILE_ATTRIBUTE_NORMAL, second);
    FUZZ_CHECK(FilesHaveSameBytes(firstPath, secondPath) == (first == second));
    sim::machine().files.erase(secondPath);
    FUZZ_CHECK(!FilesHaveSameBytes(firstPath, secondPath));
    FUZZ_CHECK(!FilesHaveSameBytes(secondPath, firstPath));
    FUZZ_CHECK(sim::OpenHandleCount() == 0);
    return 0;
}
