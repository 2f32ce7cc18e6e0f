// The delete at the next restart and its withdrawal, on the Win32 stand-in. The input builds what
// is pending, entry by entry, so that the oracle knows which entries are ours without reading the
// list as the code does: ours in every form the withdrawal must take back (the long or the 8.3
// path, any ASCII case, behind "\??\", "\DosDevices\", "\GLOBAL??\" or nothing, with "::$DATA" or
// not, a target with "!" or not; a delete, a file put in our place, ours moved away), other
// programs' names at random (none holding "windrvr" or "talvenkp" in any case), our file names
// in other folders, names that may be ours in forms not known to the code, and broken values
// (another type, an odd byte count, no final NUL, a source without its target, a byte before the
// list, past the size limit). The two driver paths lie in a folder made from the input
// (any bytes but separators, ':' and '='; no "." or ".." and no name ending in a dot or a blank),
// with an 8.3 folder made from the input or the files missing. Properties:
//  - scheduling on Windows 95/98 leaves the old lines and one "NUL=<short path>" more, or changes
//    nothing; on NT it appends our delete to a whole list;
//  - withdrawal from a list it can read (NT: also when another program adds its pair after the
//    first read) leaves every other entry byte for byte and in order and no entry of ours, the
//    value removed when none is left; when there is nothing of ours it writes nothing; it
//    answers 1 exactly when no name that may be ours is left;
//  - a value it cannot read is left as it is, and the answer is 0 exactly when one of our file
//    names occurs in its bytes, as 8-bit text or as UTF-16 at any byte offset, in any ASCII case;
//    a value over 2 MB answers 0; a [rename] section too big to read is left as it is and answers
//    0; a driver path of MAX_PATH characters or more answers 0 and changes nothing;
//  - every WININIT.INI written is flushed; every handle closed once; no access outside the
//    buffers (AddressSanitizer: the stand-in's heap blocks and registry reads are exact).
#include "restart_delete.h"
#include "fuzz_input.h"

#include <algorithm>
#include <vector>

namespace {

const char kSessionManager[] = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager";
const char kPending[] = "PendingFileRenameOperations";
const char kWininit[] = "C:\\WINDOWS\\WININIT.INI";
const size_t kLimit = 2 * 1024 * 1024;

// NT: a value's shapes (the choice byte's high nibble; the rest are whole lists with their end).
enum Shape {
    kWhole,
    kNoListEnd,
    kOddByteCount,
    kNoFinalNul,
    kSourceWithoutTarget,
    kBinary,
    kByteBefore,
    kOverLimit,  // a long pair of another program first, 2 MB and a unit in all
    kNoValue,
};

struct Entry {
    std::u16string source, target;  // NT; on Windows 95/98 the line in `source`, as bytes
    bool ours = false;
    bool maybeOurs = false;
};

// The stand-in's code page: each byte the character of its number.
std::u16string Widened(const std::string& text)
{
    std::u16string wide;
    for (unsigned char c : text)
        wide += char16_t(c);
    return wide;
}

std::string Narrowed(const std::u16string& text)
{
    return std::string(text.begin(), text.end());
}

// UTF-16LE, as the host (x86) lays out its units.
std::string Utf16Bytes(const std::u16string& units)
{
    return std::string(reinterpret_cast<const char*>(units.data()), 2 * units.size());
}

template <class Text>
Text Lower(Text text)
{
    for (auto& c : text)
        if (c >= 'A' && c <= 'Z')
            c = c - 'A' + 'a';
    return text;
}

// ASCII letters flipped to the other case where the mask's bit for their position is set.
std::u16string Flipped(std::u16string text, uint8_t mask)
{
    for (size_t i = 0; i < text.size(); ++i)
        if (((mask >> (i % 8)) & 1) && ((text[i] | 0x20) >= 'a' && (text[i] | 0x20) <= 'z'))
            text[i] ^= 0x20;
    return text;
}

// The test's driver files: names, and their paths as given and in 8.3 form ("" without one).
struct Drivers {
    std::string names[2];
    std::string given[2];
    std::string shortForm[2];
    std::string folder;
} g_drivers;

// Another program's name: the field's bytes as characters or, in pairs, as UTF-16 units (no NUL);
// empty when it holds one of our file names' stems.
std::u16string TheirName(FuzzInput& input, bool units)
{
    std::string field = input.Field();
    std::u16string name;
    if (units) {
        for (size_t i = 0; i + 1 < field.size(); i += 2)
            if (char16_t unit = char16_t(uint8_t(field[i]) | uint8_t(field[i + 1]) << 8))
                name += unit;
    } else {
        name = Widened(field);
    }
    std::u16string lower = Lower(name);
    if (lower.find(u"windrvr") != lower.npos || lower.find(u"talvenkp") != lower.npos)
        return u"";
    return name;
}

// One of our paths in a form the withdrawal takes back.
std::u16string OurName(FuzzInput& input, bool nt)
{
    static const char16_t* const kPrefixes[] = {u"", u"\\??\\", u"\\DosDevices\\", u"\\GLOBAL??\\"};
    uint8_t form = input.Byte();
    uint8_t mask = input.Byte();
    int file = form & 1;
    const std::string& path = (form & 2) && !g_drivers.shortForm[file].empty()
                                  ? g_drivers.shortForm[file]
                                  : g_drivers.given[file];
    std::u16string name = Flipped(Widened(path), mask);
    if (nt)
        name = Flipped(kPrefixes[(form >> 2) & 3], mask) + name +
               ((form & 16) ? Flipped(u"::$DATA", mask) : u"");
    return name;
}

// Our file name behind a plain drive path of another folder.
std::u16string OtherFolderName(FuzzInput& input, bool nt)
{
    uint8_t form = input.Byte();
    std::u16string folder = u"Q:\\a";
    for (unsigned char c : input.Field())
        folder += char16_t('a' + c % 26);
    std::u16string name = folder + u"\\" + Widened(g_drivers.names[form & 1]);
    for (int i = 0; i < 2; ++i)
        if (Lower(name) == Lower(Widened(g_drivers.given[i])) ||
            Lower(name) == Lower(Widened(g_drivers.shortForm[i])))
            name = folder + u"x\\" + Widened(g_drivers.names[form & 1]);
    if (nt && (form & 2))
        name = u"\\??\\" + name + u"::$DATA";
    return name;
}

// A name that ends in one of our file names, in a form the code does not know.
std::u16string MaybeOurName(FuzzInput& input)
{
    uint8_t form = input.Byte();
    std::u16string file = Widened(g_drivers.names[form & 1]);
    std::u16string given = Widened(g_drivers.given[form & 1]);
    std::u16string folder = Widened(g_drivers.folder);
    std::u16string slashed = given;
    std::replace(slashed.begin(), slashed.end(), u'\\', u'/');
    const std::u16string forms[] = {
        u"\\Device\\HarddiskVolume1\\" + file,
        u"\\??\\\\??\\" + given,
        u"!" + given,
        given + u".",
        given + u" ::$DATA",
        u"\\??\\" + folder + u"\\.\\" + file,
        folder + u"\\\\" + file,
        file,
        u"\\SystemRoot\\system32\\drivers\\" + file,
        u"\\??\\UNC\\server\\share\\" + file,
        slashed,
    };
    return forms[(form >> 1) % (sizeof forms / sizeof forms[0])];
}

std::vector<Entry> NtEntries(FuzzInput& input)
{
    std::vector<Entry> entries;
    while (!input.Empty()) {
        uint8_t kind = input.Byte();
        bool units = kind & 0x80;
        Entry entry;
        switch (kind & 7) {
        case 1:  // our delete
            entry = {OurName(input, true), u"", true};
            break;
        case 2:  // another file put in our place
            entry.source = TheirName(input, units);
            entry.target = ((kind & 8) ? u"!" : u"") + OurName(input, true);
            entry.ours = true;
            break;
        case 3:  // ours moved away
            entry.source = OurName(input, true);
            entry.target = ((kind & 8) ? u"!" : u"") + TheirName(input, units);
            entry.ours = true;
            break;
        case 4:  // our file name in another folder
            entry = {OtherFolderName(input, true), (kind & 8) ? u"" : TheirName(input, units)};
            break;
        case 5:  // a name that may be ours, as a source or behind "!" as a target
            if (kind & 8)
                entry = {TheirName(input, units), u"!" + MaybeOurName(input)};
            else
                entry = {MaybeOurName(input), u""};
            entry.maybeOurs = true;
            break;
        default:
            entry = {TheirName(input, units), TheirName(input, units)};
        }
        entries.push_back(entry);
    }
    return entries;
}

std::vector<Entry> Win9xLines(FuzzInput& input)
{
    std::vector<Entry> lines;
    while (!input.Empty()) {
        uint8_t kind = input.Byte();
        std::u16string blank = (kind & 8) ? u" " : u"";
        Entry line;
        switch (kind & 3) {
        case 1: {
            std::u16string ours = blank + OurName(input, false) + blank;
            std::u16string theirs = TheirName(input, false);
            theirs.erase(std::remove(theirs.begin(), theirs.end(), u'='), theirs.end());
            if (kind & 4)  // a delete, or another file put in our place
                line.source = ((kind & 16) ? Flipped(u"nul", kind) : ours) + u"=" +
                              ((kind & 16) ? ours : theirs);
            else  // ours moved away
                line.source = theirs + u"=" + ours;
            line.ours = true;
            break;
        }
        case 2:
            line.source = u"NUL=" + OtherFolderName(input, false);
            break;
        default:
            line.source = TheirName(input, false);
        }
        if (!line.source.empty())
            lines.push_back(line);
    }
    return lines;
}

std::u16string Pairs(const std::vector<Entry>& entries)
{
    std::u16string units;
    for (const Entry& entry : entries)
        units += entry.source + u'\0' + entry.target + u'\0';
    return units;
}

// The whole list of `entries` with its end, as the withdrawal writes it.
std::string WholeList(const std::vector<Entry>& entries)
{
    return Utf16Bytes(Pairs(entries) + u'\0');
}

// One of our file names in `bytes`, as 8-bit text or as UTF-16LE at any offset, in any ASCII case.
bool Mentions(const std::string& bytes)
{
    std::string lower = Lower(bytes);
    for (const std::string& name : g_drivers.names)
        if (lower.find(Lower(name)) != lower.npos ||
            lower.find(Utf16Bytes(Widened(Lower(name)))) != lower.npos)
            return true;
    return false;
}

// The withdrawal of both driver paths, each in a heap block of its exact size.
int Withdraw(int windows9x)
{
    Exact windrvr(g_drivers.given[0]);
    Exact talvenkp(g_drivers.given[1]);
    const char* paths[2] = {windrvr, talvenkp};
    return WithdrawDeletesAtRestart(paths, 2, windows9x);
}

// The longer driver path does not fit MAX_PATH with its NUL.
bool TooLong()
{
    return g_drivers.given[1].size() >= MAX_PATH;
}

std::vector<std::string> RenameLines()
{
    auto file = sim::machine().profiles.find(kWininit);
    if (file == sim::machine().profiles.end() || file->second.count("rename") == 0)
        return {};
    return file->second.at("rename");
}

std::string ShortForm(const std::string& path)
{
    char form[MAX_PATH];
    DWORD length = GetShortPathNameA(path.c_str(), form, sizeof form);
    return length == 0 || length >= sizeof form ? "" : form;
}

// A folder name made from `field`: separators, ':' and '=' replaced, no empty name, no name
// ending in a dot or a blank.
std::string Folder(char drive, const std::string& field)
{
    std::string folder = std::string(1, drive) + ":";
    std::string name;
    for (size_t i = 0; i <= field.size(); ++i) {
        char c = i < field.size() ? field[i] : '\\';
        if (c != '\\' && c != '/') {
            name += (c == ':' || c == '=') ? '_' : c;
            continue;
        }
        if (name.empty())
            continue;
        if (name.back() == '.' || name.back() == ' ')
            name += '_';
        folder += "\\" + name;
        name.clear();
    }
    return folder;
}

void CheckWininit(FuzzInput& input, uint8_t choice, uint16_t repeat)
{
    std::vector<Entry> lines = Win9xLines(input);
    if ((choice & 2) && !lines.empty())
        for (uint16_t i = 0; i < repeat % 1024; ++i)
            lines.push_back(lines[i % lines.size()]);
    std::vector<std::string> before;
    for (const Entry& line : lines)
        before.push_back(Narrowed(line.source));
    if (!before.empty())
        sim::machine().profiles[kWininit]["rename"] = before;

    if (choice & 4) {
        std::vector<std::string> unscheduled = RenameLines();
        if (ScheduleDeleteAtRestart(Exact(g_drivers.given[0]), 1)) {
            before.push_back("NUL=" + g_drivers.shortForm[0]);
            lines.push_back({Widened(before.back()), u"", true});
        }
        FUZZ_CHECK(RenameLines() == before);
    }
    size_t used = 0;
    for (const std::string& line : before)
        used += line.size() + 1;
    const sim::Snapshot snapshot = sim::TakeSnapshot();
    int result = Withdraw(1);
    FUZZ_CHECK(sim::machine().unflushedProfiles.empty());
    if (TooLong() || used >= 32767 - 2) {
        FUZZ_CHECK(result == 0);
        FUZZ_CHECK(sim::TakeSnapshot() == snapshot);
        return;
    }
    std::vector<std::string> expected;
    for (const Entry& line : lines)
        if (!line.ours)
            expected.push_back(Narrowed(line.source));
    FUZZ_CHECK(result == 1);
    if (expected == before)
        FUZZ_CHECK(sim::TakeSnapshot() == snapshot);
    else
        FUZZ_CHECK(RenameLines() == expected);
}

void CheckPendingRenames(FuzzInput& input, uint8_t choice, uint16_t repeat)
{
    const Shape shape = static_cast<Shape>(choice >> 4);
    std::vector<Entry> entries = NtEntries(input);
    std::vector<Entry> copies;
    for (int i = (choice & 2) ? repeat % 32 : 0; i >= 0; --i)
        copies.insert(copies.end(), entries.begin(), entries.end());
    entries = copies;
    std::u16string pairs = Pairs(entries);
    std::string value;
    bool readable = true;
    switch (shape) {
    case kNoListEnd:
        value = Utf16Bytes(pairs);
        break;
    case kOddByteCount:
        value = WholeList(entries) + 'x';
        break;
    case kNoFinalNul:
        value = Utf16Bytes(pairs + u"x");
        break;
    case kSourceWithoutTarget:
        value = Utf16Bytes(pairs + u"x" + u'\0');
        break;
    case kByteBefore:
        value = "x" + WholeList(entries);
        break;
    case kOverLimit: {
        // The pair adds its names of `filler` and 8 units, each with its NUL.
        size_t list = 2 * pairs.size() + 2;
        size_t filler = kLimit + 2 >= list + 20 ? (kLimit + 2 - list) / 2 - 10 : 0;
        entries.insert(entries.begin(), {std::u16string(filler, u'p'), u"\\??\\C:\\P"});
        value = WholeList(entries);
        readable = false;
        break;
    }
    case kNoValue:
        entries.clear();
        break;
    default:
        value = WholeList(entries);
    }
    readable = readable && shape != kOddByteCount && shape != kNoFinalNul &&
               shape != kSourceWithoutTarget && shape != kBinary && shape != kByteBefore;
    if (shape != kNoValue) {
        sim::RegValue& stored = sim::machine().registry[kSessionManager].values[kPending];
        stored.type = shape == kBinary ? REG_BINARY : REG_MULTI_SZ;
        stored.data.assign(value.begin(), value.end());
    }

    if ((choice & 4) && (shape == kWhole || shape == kNoValue)) {
        if (ScheduleDeleteAtRestart(Exact(g_drivers.given[0]), 0))
            entries.push_back({u"\\??\\" + Widened(g_drivers.given[0]), u"", true});
        const sim::RegValue* scheduled = sim::FindValue(kSessionManager, kPending);
        FUZZ_CHECK(entries.empty() == (scheduled == nullptr));
        if (scheduled != nullptr) {
            value = std::string(scheduled->data.begin(), scheduled->data.end());
            FUZZ_CHECK(value == WholeList(entries));
        }
    }
    // Another program's pair, added after the first read of a whole list.
    bool changes = (choice & 8) && (shape == kWhole || shape == kNoListEnd);
    if (changes) {
        entries.push_back({u"\\??\\C:\\TEMP\\LATE.TMP", u""});
        value = shape == kWhole ? WholeList(entries) : Utf16Bytes(Pairs(entries));
        sim::machine().afterValueRead = [&] {
            if (changes)
                sim::machine().registry[kSessionManager].values[kPending].data.assign(value.begin(),
                                                                                      value.end());
            changes = false;
        };
    }

    const sim::Snapshot snapshot = sim::TakeSnapshot();
    int result = Withdraw(0);
    sim::machine().afterValueRead = nullptr;
    const sim::RegValue* after = sim::FindValue(kSessionManager, kPending);
    auto left = [after](const std::string& bytes) {
        return after != nullptr && after->data.size() == bytes.size() &&
               std::equal(bytes.begin(), bytes.end(), after->data.begin(),
                          [](char a, BYTE b) { return BYTE(a) == b; });
    };
    bool anyOurs = false, anyMaybe = false;
    std::vector<Entry> others;
    for (const Entry& entry : entries) {
        anyOurs |= entry.ours;
        anyMaybe |= entry.maybeOurs;
        if (!entry.ours)
            others.push_back(entry);
    }
    if (TooLong() || !readable) {
        FUZZ_CHECK(result == (!TooLong() && value.size() <= kLimit && !Mentions(value)));
        FUZZ_CHECK(sim::TakeSnapshot() == snapshot);
        return;
    }
    FUZZ_CHECK(result == !anyMaybe);
    if (!anyOurs)
        FUZZ_CHECK(shape == kNoValue && entries.empty() ? after == nullptr : left(value));
    else
        FUZZ_CHECK(others.empty() ? after == nullptr : left(WholeList(others)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    uint8_t choice = input.Byte();
    uint16_t repeat = input.Byte();  // low byte first: two reads in one expression have no order
    repeat |= input.Byte() << 8;
    const bool windows9x = choice & 1;
    char drive = static_cast<char>('A' + input.Byte() % 26);
    std::string folder = input.Field();
    std::string shortFolder = input.Field();

    sim::Reset();
    g_drivers = Drivers();
    g_drivers.folder = Folder(drive, folder);
    for (int i = 0; i < 2; ++i) {
        g_drivers.names[i] =
            std::string(i == 0 ? "windrvr" : "talvenkp") + (windows9x ? ".vxd" : ".sys");
        g_drivers.given[i] = g_drivers.folder + "\\" + g_drivers.names[i];
        if (!shortFolder.empty() && g_drivers.given[i].size() < MAX_PATH) {
            sim::AddFile(g_drivers.given[i]);
            std::string upper = g_drivers.names[i];
            std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
            sim::machine().shortNames[g_drivers.given[i]] =
                Folder(drive, shortFolder) + "\\" + upper;
        }
        g_drivers.shortForm[i] = ShortForm(g_drivers.given[i]);
    }

    if (windows9x)
        CheckWininit(input, choice, repeat);
    else
        CheckPendingRenames(input, choice, repeat);
    FUZZ_CHECK(sim::OpenHandleCount() == 0 && sim::BadCloseCount() == 0);
    return 0;
}
