// The delete at the next restart and its withdrawal, on the Win32 stand-in, with any driver path,
// any short form of it, and anything pending already: any bytes as the NT pending-rename value
// (UTF-16 or not, odd counts, no final NUL, another type, megabytes), any lines in WININIT.INI's
// [rename] section (up to and past its 32,767 bytes). Properties:
//  - scheduling on Windows 95/98 leaves the old lines and one "NUL=<short path>" more, or
//    changes nothing;
//  - withdrawal (also right after a scheduling) leaves exactly the entries that neither delete one
//    of the two paths nor put another file in its place, in order and byte for byte, the value
//    removed when none is left, and answers 1; when there is nothing to take back it writes
//    nothing; it answers 0, changing nothing, exactly for a section that does not fit its buffer,
//    a value over its size limit, of another type or that is no whole list of UTF-16 pairs;
//  - every WININIT.INI written is flushed;
//  - every handle closed once; no access outside the buffers (AddressSanitizer: the stand-in's
//    heap blocks and registry reads are exact).
#include "restart_delete.h"
#include "fuzz_input.h"

#include <algorithm>
#include <vector>

namespace {

const char kSessionManager[] = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager";
const char kPending[] = "PendingFileRenameOperations";
const char kWininit[] = "C:\\WINDOWS\\WININIT.INI";
const char kOtherDriver[] = "C:\\WINDOWS\\system32\\drivers\\talvenkp.sys";

std::string Trimmed(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The forms of the two paths that a pending delete may name.
std::vector<std::string> g_forms;

bool Ours(const std::string& name)
{
    for (const std::string& form : g_forms)
        if (!form.empty() && sim::detail::EqualNoCase(name, form))
            return true;
    return false;
}

// The stand-in's code page: each byte the character of its number.
std::u16string Widened(const std::string& text)
{
    std::u16string wide;
    for (unsigned char c : text)
        wide += char16_t(c);
    return wide;
}

std::string Utf16Bytes(const std::u16string& units)
{
    std::string bytes;
    for (char16_t unit : units) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// A name of the list, "\??\" and "!" (a target) taken off, against the forms: ASCII letters
// folded, the rest exact.
bool WideOurs(std::u16string name, bool target)
{
    if (target && name.compare(0, 1, u"!") == 0)
        name.erase(0, 1);
    if (name.compare(0, 4, u"\\??\\") == 0)
        name.erase(0, 4);
    auto fold = [](char16_t c) { return c >= 'A' && c <= 'Z' ? char16_t(c - 'A' + 'a') : c; };
    for (const std::string& narrow : g_forms) {
        std::u16string form = Widened(narrow);
        if (!form.empty() && form.size() == name.size() &&
            std::equal(form.begin(), form.end(), name.begin(),
                       [&](char16_t a, char16_t b) { return fold(a) == fold(b); }))
            return true;
    }
    return false;
}

// The pending-rename value without our pairs ("" when nothing is left), and how many went; false
// for a value that is no whole list of UTF-16 pairs.
bool ExpectedValue(const std::string& bytes, std::string* kept, int* withdrawn)
{
    *withdrawn = 0;
    kept->clear();
    if (bytes.size() % 2 != 0)
        return false;
    std::u16string units;
    for (size_t i = 0; i < bytes.size(); i += 2)
        units += char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
    if (units.empty())
        return true;
    if (units.back() != 0)
        return false;
    std::vector<std::u16string> strings;
    for (size_t pos = 0; pos < units.size();) {
        size_t nul = units.find(u'\0', pos);
        strings.push_back(units.substr(pos, nul - pos));
        pos = nul + 1;
    }
    if (strings.size() % 2 != 0) {
        if (!strings.back().empty())
            return false;
        strings.pop_back();
    }
    std::u16string left;
    for (size_t i = 0; i < strings.size(); i += 2) {
        if ((strings[i + 1].empty() && WideOurs(strings[i], false)) ||
            WideOurs(strings[i + 1], true)) {
            ++*withdrawn;
            continue;
        }
        left += strings[i] + u'\0' + strings[i + 1] + u'\0';
    }
    *kept = left.empty() ? "" : Utf16Bytes(left + u'\0');
    return true;
}

std::vector<std::string> ExpectedLines(const std::vector<std::string>& lines)
{
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        size_t equals = line.find('=');
        std::string key = Trimmed(line.substr(0, equals));
        if (equals != std::string::npos && (Ours(key) || (sim::detail::EqualNoCase(key, "NUL") &&
                                                          Ours(Trimmed(line.substr(equals + 1))))))
            continue;
        kept.push_back(line);
    }
    return kept;
}

// The lines of WININIT.INI's [rename] section in `profiles` (the machine's or a snapshot's).
std::vector<std::string> RenameLines(const decltype(sim::Snapshot::profiles)& profiles)
{
    auto file = profiles.find(kWininit);
    if (file == profiles.end() || file->second.count("rename") == 0)
        return {};
    return file->second.at("rename");
}

std::string ShortForm(const std::string& path)
{
    char form[MAX_PATH];
    DWORD length = GetShortPathNameA(path.c_str(), form, sizeof form);
    return length == 0 || length >= sizeof form ? "" : form;
}

void CheckWininit(int result, const sim::Snapshot& before)
{
    std::vector<std::string> lines = RenameLines(before.profiles);
    size_t used = 0;
    for (const std::string& line : lines)
        used += line.size() + 1;
    FUZZ_CHECK((result == 0) == (used >= 32767 - 2));
    std::vector<std::string> expected = ExpectedLines(lines);
    if (result == 0 || expected == lines)
        FUZZ_CHECK(sim::TakeSnapshot() == before);
    else
        FUZZ_CHECK(RenameLines(sim::machine().profiles) == expected);
}

void CheckPendingRenames(int result, const sim::Snapshot& before)
{
    auto key = before.registry.find(kSessionManager);
    auto found = key->second.values.find(kPending);
    if (found == key->second.values.end()) {
        FUZZ_CHECK(result == 1 && sim::TakeSnapshot() == before);
        return;
    }
    std::string value(found->second.data.begin(), found->second.data.end());
    std::string expected;
    int withdrawn = 0;
    bool list = found->second.type == REG_MULTI_SZ && ExpectedValue(value, &expected, &withdrawn);
    FUZZ_CHECK((result == 0) == (!list || value.size() > 2 * 1024 * 1024));
    if (result == 0 || withdrawn == 0) {
        FUZZ_CHECK(sim::TakeSnapshot() == before);
    } else if (expected.empty()) {
        FUZZ_CHECK(sim::FindValue(kSessionManager, kPending) == nullptr);
    } else {
        const sim::RegValue* after = sim::FindValue(kSessionManager, kPending);
        FUZZ_CHECK(after != nullptr && after->type == REG_MULTI_SZ &&
                   std::string(after->data.begin(), after->data.end()) == expected);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    uint8_t choice = input.Byte();
    uint16_t repeat = input.Byte();  // low byte first: two reads in one expression have no order
    repeat |= input.Byte() << 8;
    const int windows9x = choice & 1;
    std::string path = input.Field();
    std::string shortPath = input.Field();

    sim::Reset();
    sim::AddFile(kOtherDriver);
    sim::detail::FsPath resolved;
    if (!shortPath.empty() && sim::detail::ResolvePath(path.c_str(), &resolved)) {
        sim::AddFile(path);
        sim::machine().shortNames[resolved.Full()] = shortPath;
    }
    g_forms = {path, ShortForm(path), kOtherDriver};

    // What is pending already, repeated towards and past the limits.
    std::vector<std::string> lines;
    if (windows9x) {
        while (!input.Empty()) {
            std::string line = input.Field();
            if (!line.empty())
                lines.push_back(line);
        }
        if ((choice & 2) && !lines.empty())
            for (uint16_t i = 0; i < repeat % 1024; ++i)
                lines.push_back(lines[i % lines.size()]);
        if (!lines.empty())
            sim::machine().profiles[kWininit]["rename"] = lines;
    } else {
        std::string value = input.Rest();
        if (choice & 16)
            value = Utf16Bytes(Widened(value));
        // A few kilobytes; or, behind a pair of one long name, at the value's size limit.
        if (repeat >= 0xFF00 && value.size() < 1024) {
            size_t wanted = 2 * 1024 * 1024 - 2 + (repeat & 3);
            value = std::string(wanted - value.size() - 4, 'p') + std::string(4, '\0') + value;
        } else if (choice & 2) {
            for (std::string unit = value; value.size() < (repeat % 64) * 64u && !unit.empty();)
                value += unit;
        }
        if (!value.empty() || (choice & 8)) {
            sim::RegValue& stored = sim::machine().registry[kSessionManager].values[kPending];
            stored.type = (choice & 8) ? REG_BINARY : REG_MULTI_SZ;
            stored.data.assign(value.begin(), value.end());
        }
    }

    Exact exact(path);
    if (choice & 4) {
        const sim::Snapshot unscheduled = sim::TakeSnapshot();
        int scheduled = ScheduleDeleteAtRestart(exact, windows9x);
        if (windows9x && scheduled) {
            std::vector<std::string> expected = lines;
            expected.push_back("NUL=" + g_forms[1]);
            FUZZ_CHECK(RenameLines(sim::machine().profiles) == expected);
        } else if (windows9x || !scheduled) {
            FUZZ_CHECK(sim::TakeSnapshot().profiles == unscheduled.profiles);
        }
    }
    const sim::Snapshot before = sim::TakeSnapshot();
    const char* paths[2] = {exact, kOtherDriver};
    int result = WithdrawDeletesAtRestart(paths, 2, windows9x);
    FUZZ_CHECK(sim::OpenHandleCount() == 0 && sim::BadCloseCount() == 0);
    FUZZ_CHECK(sim::machine().unflushedProfiles.empty());
    if (windows9x)
        CheckWininit(result, before);
    else
        CheckPendingRenames(result, before);
    return 0;
}
