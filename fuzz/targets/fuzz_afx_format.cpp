// The framework's bounded formatting and copy, AfxFormat and AfxCopyText, with any text and any
// capacity, on the Windows C runtime's _vsnprintf (which leaves a cut text unterminated): a text
// that fits comes back whole with its length; one that does not is cut to capacity - 1
// characters, terminated, and reported (-1, or 0 from the copy); nothing is written past the
// buffer.
#include "afx_format.h"
#include "fuzz_input.h"

namespace {

void CheckResult(const std::string& whole, size_t capacity, const char* buffer, int result,
                 int fitResult, int cutResult)
{
    if (capacity == 0) {
        FUZZ_CHECK(result == cutResult);
        return;
    }
    std::string kept(buffer, strnlen(buffer, capacity));
    FUZZ_CHECK(kept.size() < capacity);
    if (whole.size() < capacity) {
        FUZZ_CHECK(result == fitResult);
        FUZZ_CHECK(kept == whole);
    } else {
        FUZZ_CHECK(result == cutResult);
        FUZZ_CHECK(kept == whole.substr(0, capacity - 1));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    size_t capacity = input.Byte() | (size_t(input.Byte() & 0x07) << 8);  // 0..2047
    std::string a = input.Field();
    std::string b = input.Field();
    std::string c = input.Field();

    char* buffer = ExactCopy("", capacity);
    // The programs' path formats, "%s\%s%s" among them.
    std::string whole = a + "\\" + b + c;
    int written = AfxFormat(buffer, capacity, "%s\\%s%s", a.c_str(), b.c_str(), c.c_str());
    CheckResult(whole, capacity, buffer, written, static_cast<int>(whole.size()), -1);

    written = AfxFormat(buffer, capacity, "%s", a.c_str());
    CheckResult(a, capacity, buffer, written, static_cast<int>(a.size()), -1);

    int copied = AfxCopyText(buffer, capacity, b.c_str());
    CheckResult(b, capacity, buffer, copied, 1, 0);
    free(buffer);
    return 0;
}
