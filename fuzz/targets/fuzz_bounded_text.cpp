// The library's bounded text with any text, any "%s" format and any capacity: every result stays
// inside its buffer and NUL-terminated. The plain forms (CopyText, JoinText, FormatText) give the
// whole result or leave the buffer empty; the Cut forms (CopyTextCut, FormatTextCut,
// AppendTextCut) give the first capacity - 1 characters of it; both answer 1 exactly when it fit.
// A format with a conversion other than %s and %% is refused by both forms.
#include "bounded_text.h"
#include "fuzz_input.h"

namespace {

// What the format gives with the arguments a, b, c and NULL; false for an unknown conversion.
// The format is first cut before a fifth %s, as four arguments are passed.
bool Expand(std::string* format, const std::string* args, std::string* whole)
{
    bool known = true;
    int next = 0;
    whole->clear();
    for (size_t i = 0; i < format->size(); ++i) {
        char after = i + 1 < format->size() ? (*format)[i + 1] : '\0';
        if ((*format)[i] != '%') {
            *whole += (*format)[i];
        } else if (after == '%') {
            *whole += '%';
            ++i;
        } else if (after == 's' && next == 4) {
            format->resize(i);
        } else if (after == 's') {
            if (next < 3)
                *whole += args[next];
            ++next;
            ++i;
        } else {
            known = false;
        }
    }
    return known;
}

// `refused`: the plain form's answer to a result that does not fit (empty buffer), else the cut.
void CheckResult(const std::string& whole, bool known, size_t capacity, const char* buffer,
                 int result, bool refuses)
{
    if (capacity == 0) {
        FUZZ_CHECK(result == 0);
        return;
    }
    std::string kept(buffer, strnlen(buffer, capacity));
    FUZZ_CHECK(kept.size() < capacity);
    FUZZ_CHECK(result == (known && whole.size() < capacity ? 1 : 0));
    if (!known)
        FUZZ_CHECK(kept.empty());
    else if (result == 1)
        FUZZ_CHECK(kept == whole);
    else
        FUZZ_CHECK(kept == (refuses ? std::string() : whole.substr(0, capacity - 1)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    size_t capacity = input.Byte();  // 0..4095, low byte first
    capacity |= size_t(input.Byte() & 0x0F) << 8;
    std::string parts[4];
    for (std::string& part : parts)
        part = input.Field();
    // No format: the programs' path format.
    std::string format = input.Field();
    if (format.empty())
        format = "%s\\%s%s";

    std::string whole;
    bool known = Expand(&format, parts, &whole);
    for (int cut = 0; cut < 2; ++cut) {
        Exact buffer("old text", capacity);
        int result = cut ? FormatTextCut(buffer, capacity, format.c_str(), parts[0].c_str(),
                                         parts[1].c_str(), parts[2].c_str())
                         : FormatText(buffer, capacity, format.c_str(), parts[0].c_str(),
                                      parts[1].c_str(), parts[2].c_str());
        CheckResult(whole, known, capacity, buffer, result, !cut);

        result = cut ? CopyTextCut(buffer, capacity, parts[0].c_str())
                     : CopyText(buffer, capacity, parts[0].c_str());
        CheckResult(parts[0], true, capacity, buffer, result, !cut);
    }

    Exact buffer("old text", capacity);
    int result = JoinText(buffer, capacity, parts[0].c_str(), parts[1].c_str(), parts[2].c_str(),
                          parts[3].c_str());
    CheckResult(parts[0] + parts[1] + parts[2] + parts[3], true, capacity, buffer, result, true);

    // Appends keep what was there and add as much as fits.
    if (capacity != 0) {
        Exact appended(parts[0], capacity);
        std::string before(appended);
        result = AppendTextCut(appended, capacity, parts[1].c_str());
        CheckResult(before + parts[1], true, capacity, appended, result, false);
    }

    // The registrar's use: repeated appends into 2000 characters, cut at the end, never past it.
    char messages[2000];
    messages[0] = '\0';
    for (int round = 0; round < 8; ++round)
        for (const std::string& part : parts)
            AppendTextCut(messages, sizeof messages, part.c_str());
    FUZZ_CHECK(strnlen(messages, sizeof messages) < sizeof messages);
    return 0;
}
