// CopyText, JoinText and AppendTextCut with any text and any capacity: every result stays inside
// its buffer and NUL-terminated; a copy or join that does not fit leaves the buffer empty, an
// append keeps what was there and adds as much as fits.
#include "bounded_text.h"
#include "fuzz_input.h"

namespace {

void CheckJoin(size_t capacity, const std::string* parts, int count)
{
    char* buffer = ExactCopy("old text", capacity);
    std::string whole;
    for (int i = 0; i < count; ++i)
        whole += parts[i];
    int result;
    if (count == 1)
        result = CopyText(buffer, capacity, parts[0].c_str());
    else
        result = JoinText(buffer, capacity, parts[0].c_str(), parts[1].c_str(), parts[2].c_str(),
                          parts[3].c_str());
    if (capacity == 0) {
        FUZZ_CHECK(result == 0);
    } else if (whole.size() < capacity) {
        FUZZ_CHECK(result == 1);
        FUZZ_CHECK(whole == buffer);
    } else {
        FUZZ_CHECK(result == 0);
        FUZZ_CHECK(buffer[0] == '\0');
    }
    free(buffer);
}

void CheckAppend(size_t capacity, const std::string& before, const std::string& text)
{
    if (capacity == 0)
        return;
    char* buffer = ExactCopy(before, capacity);
    std::string kept = buffer;
    int result = AppendTextCut(buffer, capacity, text.c_str());
    std::string after(buffer, strnlen(buffer, capacity));
    FUZZ_CHECK(after.size() < capacity);
    FUZZ_CHECK(after == (kept + text).substr(0, capacity - 1));
    FUZZ_CHECK(result == (kept.size() + text.size() < capacity ? 1 : 0));
    free(buffer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    size_t capacity = input.Byte() | (size_t(input.Byte() & 0x0F) << 8);  // 0..4095
    std::string parts[4];
    for (std::string& part : parts)
        part = input.Field();

    CheckJoin(capacity, parts, 1);
    CheckJoin(capacity, parts, 4);
    CheckAppend(capacity, parts[0], parts[1]);

    // The registrar's use: repeated appends into 2000 characters, cut at the end, never past it.
    char messages[2000];
    messages[0] = '\0';
    for (int round = 0; round < 8; ++round)
        for (const std::string& part : parts)
            AppendTextCut(messages, sizeof messages, part.c_str());
    FUZZ_CHECK(strnlen(messages, sizeof messages) < sizeof messages);
    return 0;
}
