// The delete at the next restart and its withdrawal, on the Win32 stand-in, with any driver path,
// any short form of it, and anything pending already: any bytes as the NT pending-rename value
// (odd counts, no final NUL, another type, megabytes), any lines in WININIT.INI's [rename] section
// (up to and past its 32,767 bytes). Properties:
//  - scheduling on Windows 95/98 leaves the old lines and one "NUL=<short path>" more, or
//    changes nothing;
//  - withdrawal (also right after a scheduling) leaves exactly the entries that are not a delete
//    of one of the two paths, in order, the value removed when none is left, and answers 1; when
//    there is nothing to take back it writes nothing; it answers 0, changing nothing, exactly for
//    a section that does not fit its buffer or a value over its size limit;
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

// The pending-rename value without our deletes ("" when nothing is left), and how many went.
std::string ExpectedValue(const std::string& bytes, int* withdrawn)
{
    size_t end = bytes.size();
    if (end >= 2 && bytes[end - 1] == '\0' && bytes[end - 2] == '\0')
        --end;
    std::vector<std::string> strings;
    for (size_t pos = 0; pos < end;) {
        size_t nul = std::min(bytes.find('\0', pos), end);
        strings.push_back(bytes.substr(pos, nul - pos));
        pos = nul + 1;
    }
    std::string kept;
    *withdrawn = 0;
    for (size_t i = 0; i < strings.size(); i += 2) {
        bool hasTarget = i + 1 < strings.size();
        std::string name =
            strings[i].compare(0, 4, "\\??\\") == 0 ? strings[i].substr(4) : strings[i];
        if ((!hasTarget || strings[i + 1].empty()) && Ours(name)) {
            ++*withdrawn;
            continue;
        }
        kept += strings[i] + '\0';
        if (hasTarget)
            kept += strings[i + 1] + '\0';
    }
    return kept.empty() ? kept : kept + '\0';
}

std::vector<std::string> ExpectedLines(const std::vector<std::string>& lines)
{
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        size_t equals = line.find('=');
        if (equals != std::string::npos &&
            sim::detail::EqualNoCase(Trimmed(line.substr(0, equals)), "NUL") &&
            Ours(Trimmed(line.substr(equals + 1))))
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
    if (found == key->second.values.end() || found->second.type != REG_MULTI_SZ) {
        FUZZ_CHECK(result == 1 && sim::TakeSnapshot() == before);
        return;
    }
    std::string value(found->second.data.begin(), found->second.data.end());
    FUZZ_CHECK((result == 0) == (value.size() > 2 * 1024 * 1024));
    int withdrawn = 0;
    std::string expected = ExpectedValue(value, &withdrawn);
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
        // A few kilobytes; or, behind a pair of one long name, at the value's size limit.
        if (repeat >= 0xFF00 && value.size() < 1024) {
            size_t wanted = 2 * 1024 * 1024 - 2 + (repeat & 3);
            value = std::string(wanted - value.size() - 2, 'p') + std::string(2, '\0') + value;
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
    if (windows9x)
        CheckWininit(result, before);
    else
        CheckPendingRenames(result, before);
    return 0;
}
