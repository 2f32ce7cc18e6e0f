// Setup's read-me reading with any file content and any buffer, the wizard's 100,000 characters
// among them: the buffer receives the file's first capacity - 1 bytes unchanged (carriage returns,
// NULs and all) and a NUL behind them, and nothing is written past it. Inputs can ask for their
// content to be repeated, so that files around and beyond 100,000 bytes are read too. The file
// lives on the stand-in's simulated disk.
#include "readme_text.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    uint8_t choice = input.Byte();
    size_t capacity = (choice & 1) ? 100000 : input.Byte() + 1;
    size_t length = (choice & 2) ? 99990 + input.Byte() % 20 : 0;  // around the wizard's limit
    std::string content = input.Rest();
    if (length != 0) {
        std::string unit = content.empty() ? std::string("x") : content;
        content.clear();
        while (content.size() < length)
            content += unit;
        content.resize(length);
    }

    const char path[] = "C:\\DIST\\setup.txt";
    sim::Reset();
    sim::AddFile(path, FILE_ATTRIBUTE_NORMAL, content);
    char* buffer = static_cast<char*>(malloc(capacity));
    memset(buffer, 'z', capacity);
    FUZZ_CHECK(ReadReadmeText(path, buffer, capacity));
    size_t kept = content.size() < capacity - 1 ? content.size() : capacity - 1;
    FUZZ_CHECK(memcmp(buffer, content.data(), kept) == 0);
    FUZZ_CHECK(buffer[kept] == '\0');
    free(buffer);

    // A file that is not there leaves the buffer as it was.
    sim::machine().files.erase(path);
    char small[16] = "untouched";
    FUZZ_CHECK(!ReadReadmeText(path, small, sizeof small));
    FUZZ_CHECK(strcmp(small, "untouched") == 0);
    FUZZ_CHECK(sim::OpenHandleCount() == 0);
    return 0;
}
