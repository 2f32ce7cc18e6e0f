// The delete at the next restart and its withdrawal against the simulated machine: which entries
// of the NT pending-rename list (UTF-16) and of WININIT.INI's [rename] section are taken back,
// what stays, byte for byte and in which order, what a list that cannot be read answers, another
// program's change between our read and our write, and a scheduled delete taken back whole.
#include "restart_delete.h"
#include "test_support.h"

namespace {

const char kSessionManager[] = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager";
const char kPending[] = "PendingFileRenameOperations";
const char kWininit[] = "C:\\Windows98\\WININIT.INI";

// The driver files under a Windows directory with a long name, so that their 8.3 forms differ.
const char kWindrvrSys[] = "C:\\Windows XP\\system32\\drivers\\windrvr.sys";
const char kTalvenkpSys[] = "C:\\Windows XP\\system32\\drivers\\talvenkp.sys";
const char kWindrvrVxd[] = "C:\\Windows98\\SYSTEM\\VMM32\\windrvr.vxd";
const char kTalvenkpVxd[] = "C:\\Windows98\\SYSTEM\\VMM32\\talvenkp.vxd";

// UTF-16LE bytes, as the registry holds a string written through the wide functions.
std::string Utf16(const std::u16string& text)
{
    std::string bytes;
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// A REG_MULTI_SZ list: each entry with its NUL, then the list's final NUL.
std::string List(std::initializer_list<std::u16string> entries)
{
    std::u16string units;
    for (const std::u16string& entry : entries)
        units += entry + u'\0';
    return Utf16(units + u'\0');
}

std::string PendingBytes()
{
    const sim::RegValue* value = sim::FindValue(kSessionManager, kPending);
    return value == nullptr ? "(none)" : std::string(value->data.begin(), value->data.end());
}

void SetPending(DWORD type, const std::string& bytes)
{
    sim::RegValue& value = sim::machine().registry[kSessionManager].values[kPending];
    value.type = type;
    value.data.assign(bytes.begin(), bytes.end());
}

std::vector<std::string>& RenameSection()
{
    return sim::machine().profiles[kWininit]["rename"];
}

class RestartDelete : public test::MachineTest {
protected:
    void SetUp() override
    {
        test::MachineTest::SetUp();
        for (const char* path : {kWindrvrSys, kTalvenkpSys, kWindrvrVxd, kTalvenkpVxd})
            sim::AddFile(path);
        sim::machine().shortNames[kWindrvrSys] = "C:\\WINDOW~1\\SYSTEM32\\DRIVERS\\WINDRVR.SYS";
        sim::machine().shortNames[kWindrvrVxd] = "C:\\WINDOW~1\\SYSTEM\\VMM32\\WINDRVR.VXD";
    }
    int Withdraw(int windows9x)
    {
        const char* const paths[2] = {windows9x ? kWindrvrVxd : kWindrvrSys,
                                      windows9x ? kTalvenkpVxd : kTalvenkpSys};
        return WithdrawDeletesAtRestart(paths, 2, windows9x);
    }
    void UseWindows98Directory()
    {
        UseWindows98();
        sim::machine().windowsDir = "C:\\Windows98";
    }
};

const std::u16string kOurs = u"\\??\\C:\\Windows XP\\system32\\drivers\\windrvr.sys";
const std::u16string kOursShort = u"C:\\WINDOW~1\\system32\\DRIVERS\\windrvr.sys";
const std::u16string kTalvenkp = u"\\??\\C:\\Windows XP\\system32\\drivers\\talvenkp.sys";
const std::u16string kTheirs = u"\\??\\C:\\TEMP\\A.TMP";
// Another program's replace of a file whose names the ANSI code page cannot hold: Cyrillic, a
// full-width backslash that it would turn into a path separator, half a surrogate pair.
const std::u16string kTheirsNew = u"\\??\\C:\\temp\\файл\uFF3Cx.new";
const std::u16string kTheirsOld = u"!\\??\\C:\\temp\\файл\uFF3Cx.dll\xD800";
// Another program's delete, added to the list while we rewrite it.
const std::u16string kLate = u"\\??\\C:\\TEMP\\LATE.TMP";

TEST_F(RestartDelete, NtTakesBackExactlyOurDeletesMovesAndReplaces)
{
    // Another program's name that makes a list with our delete 2 MB long, the longest read.
    const std::u16string kLongest(1024 * 1024 - 5 - kOurs.size(), u'x');
    // kLeft: as another program left it.
    enum After { kUnchanged, kRemoved, kBecomes, kLeft };
    struct Row {
        const char* name;
        std::string before;
        int result;
        After after;
        std::string becomes = "";
        const char* failing = nullptr;
        DWORD type = REG_MULTI_SZ;
        int changes = 0;  // reads after which another program adds its pair to the list
    } rows[] = {
        {"ours only", List({kOurs, u""}), 1, kRemoved},
        {"both, the other without \\??\\ and in other case",
         List({kOurs, u"", u"c:\\WINDOWS XP\\SYSTEM32\\Drivers\\TALVENKP.SYS", u""}), 1, kRemoved},
        {"among others, in order",
         List({kTheirs, u"", kOurs, u"", kTheirsNew, kTheirsOld, u"C:\\TEMP\\\uFF3C.TMP", u"",
               kTalvenkp, u"", u"", u"", u"\\??\\C:\\C.TMP", u""}),
         1, kBecomes,
         List({kTheirs, u"", kTheirsNew, kTheirsOld, u"C:\\TEMP\\\uFF3C.TMP", u"", u"", u"",
               u"\\??\\C:\\C.TMP", u""})},
        {"the short form", List({u"\\??\\" + kOursShort, u"", kTheirs, u""}), 1, kBecomes,
         List({kTheirs, u""})},
        // A file put in the place of ours at the restart, ours moved away: the pair goes, the
        // other file stays where it is.
        {"renames into ours and of ours to elsewhere",
         List({u"\\??\\C:\\OLD.SYS", u"!" + kOurs, kOurs, u"\\??\\C:\\SAVED.SYS", u"C:\\NEW.SYS",
               kOursShort, u"\\??\\C:\\X.SYS",
               u"!C:\\windows xp\\system32\\"
               u"drivers\\TALVENKP.sys",
               kOursShort, u"!" + kTalvenkp, kTheirs, u""}),
         1, kBecomes, List({kTheirs, u""})},
        // The object manager's other names of the drive folder, in any case, and the file's
        // unnamed stream.
        {"other NT names of ours",
         List({u"\\DosDevices\\C:\\Windows XP\\system32\\drivers\\windrvr.sys", u"", kTheirs,
               u"!\\GLOBAL??\\" + kOursShort, u"\\global??\\" + kOursShort + u"::$data",
               u"\\??\\C:\\SAVED.SYS", kTheirsNew, kTheirsOld, kTalvenkp + u"::$DATA", u"",
               u"\\dosdevices\\C:\\windows xp\\system32\\drivers\\talvenkp.sys::$DATA", u""}),
         1, kBecomes, List({kTheirsNew, kTheirsOld})},
        // Longer, shorter, a named stream; a full-width w and the Kelvin sign, which the code
        // page's best fit would take for ours and NT's case rules do not; our file names in other
        // folders.
        {"names that are not ours",
         List({kOurs + u".bak", u"", kOurs.substr(0, kOurs.size() - 1), u"", kOurs + u":x", u"",
               kTheirs, kOurs + u"x", u"\\??\\C:\\Windows XP\\system32\\drivers\\\uFF57indrvr.sys",
               u"", u"\\??\\C:\\Windows XP\\system32\\drivers\\talven\u212Ap.sys", u"",
               u"\\??\\C:\\Windows XP\\system32\\windrvr.sys", u"!\\DosDevices\\D:\\talvenkp.sys",
               u"C:\\WINDOW~2\\SYSTEM32\\DRIVERS\\WINDRVR.SYS::$DATA", u""}),
         1, kUnchanged},
        // A name that ends in one of our file names in a form not known here: ours taken back,
        // the rest left, and no success.
        {"a name that may be ours", List({kOurs, u"", u"\\??\\" + kOurs, u"", kTheirs, u""}), 0,
         kBecomes, List({u"\\??\\" + kOurs, u"", kTheirs, u""})},
        {"no list end", Utf16(kTheirs + u'\0' + u'\0' + kOurs + u'\0' + u'\0'), 1, kBecomes,
         List({kTheirs, u""})},
        {"the list end alone", Utf16(std::u16string(1, u'\0')), 1, kUnchanged},
        {"empty", "", 1, kUnchanged},
        // Values that are no whole list of pairs: left as they are, a failure where one of our
        // file names is in them, as UTF-16 at either byte offset or as 8-bit text, in any case.
        {"a last source without its target", Utf16(kTheirs + u'\0' + u'\0' + kOurs + u'\0'), 0,
         kUnchanged},
        {"an odd byte count", List({kTheirs, u"", kOurs, u""}) + '\0', 0, kUnchanged},
        {"a last string without its NUL", Utf16(kOurs + u'\0' + u'\0' + kTheirs), 0, kUnchanged},
        {"another type", List({kOurs, u""}), 0, kUnchanged, "", nullptr, REG_BINARY},
        {"ours a byte off", "x" + List({kTheirs, u"", kOurs, u""}), 0, kUnchanged},
        {"ours as 8-bit text", "\\??\\C:\\X\\TALVENKP.SYS", 0, kUnchanged, "", nullptr, REG_SZ},
        {"nothing of ours, a last source without its target",
         Utf16(kTheirs + u'\0' + u'\0' + kLate + u'\0'), 1, kUnchanged},
        {"nothing of ours, an odd byte count", List({kTheirs, u"", kTheirsNew, kTheirsOld}) + 'x',
         1, kUnchanged},
        {"nothing of ours, a last string without its NUL",
         Utf16(kTheirs + u'\0' + u'\0' + u"windrvr.sy"), 1, kUnchanged},
        {"nothing of ours, another type", List({kTheirs, u""}), 1, kUnchanged, "", nullptr,
         REG_BINARY},
        {"at the size limit", List({kOurs, u"", kLongest, u""}), 1, kBecomes,
         List({kLongest, u""})},
        {"over the size limit", List({kOurs, u"", std::u16string(1024 * 1024, u'x'), u""}), 0,
         kUnchanged},
        {"the key refused", List({kOurs, u""}), 0, kUnchanged, "", "RegOpenKeyExA"},
        {"no wide registry functions", List({kOurs, u""}), 0, kUnchanged, "", "GetProcAddress"},
        {"the value not written", List({kTheirs, u"", kOurs, u""}), 0, kUnchanged, "",
         "RegSetValueExW"},
        {"the value not deleted", List({kOurs, u""}), 0, kUnchanged, "", "RegDeleteValueA"},
        // Another program's pair added between our read and our write: read again, kept. A list
        // that changes at every read is not written.
        {"changed once meanwhile", List({kOurs, u"", kTheirs, u""}), 1, kBecomes,
         List({kTheirs, u"", kLate, u""}), nullptr, REG_MULTI_SZ, 1},
        {"changed at every read", List({kOurs, u""}), 0, kLeft, "", nullptr, REG_MULTI_SZ, 99},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetPending(row.type, row.before);
        const size_t first = sim::machine().calls.size();
        if (row.failing != nullptr)
            sim::FailCall(row.failing, ERROR_ACCESS_DENIED);
        std::string changed = row.before;
        int changes = row.changes;
        sim::machine().afterValueRead = [&] {
            if (changes-- > 0) {
                changed.resize(changed.size() - 2);  // the list end, put back behind the pair
                changed += List({kLate, u""});
                SetPending(REG_MULTI_SZ, changed);
            }
        };
        EXPECT_EQ(row.result, Withdraw(0));
        sim::machine().afterValueRead = nullptr;
        sim::ClearFailures();
        const sim::RegValue* value = sim::FindValue(kSessionManager, kPending);
        if (row.after == kRemoved) {
            EXPECT_EQ(nullptr, value);
        } else if (row.after == kLeft) {
            EXPECT_EQ(changed, PendingBytes());
        } else {
            ASSERT_NE(nullptr, value);
            EXPECT_EQ(row.type, value->type);
            EXPECT_EQ(row.after == kBecomes ? row.becomes : row.before, PendingBytes());
        }
        const std::vector<std::string> calls = test::CallsSince(first);
        if ((row.after == kUnchanged && row.failing == nullptr) || row.changes > 1) {
            EXPECT_EQ(0,
                      test::Count(calls, "RegSetValueExW") + test::Count(calls, "RegDeleteValueA"));
        }
        // The list never passes through the ANSI code page.
        EXPECT_EQ(0, test::Count(calls, "RegQueryValueExA") + test::Count(calls, "RegSetValueExA"));
    }
    // Each of the forms not known here alone among another program's pairs, as a source and as a
    // target: the prefix twice, "!" on a source, a volume's device name, a UNC path, a relative
    // name, a folder of NT's own; ".." and "." in the path, a backslash doubled, slashes, a dot or
    // a blank behind the name.
    const std::u16string kDrivers = u"\\??\\C:\\Windows XP\\system32\\drivers";
    for (const std::u16string& name : std::vector<std::u16string>{
             u"\\??\\" + kOurs, u"!" + kOurs, u"\\Device\\HarddiskVolume1\\WINDOWS\\windrvr.sys",
             u"\\??\\UNC\\server\\share\\TALVENKP.SYS", u"windrvr.sys",
             u"\\SystemRoot\\system32\\drivers\\windrvr.sys",
             kDrivers + u"\\..\\drivers\\windrvr.sys", kDrivers + u"\\.\\windrvr.sys",
             kDrivers + u"\\\\windrvr.sys", u"\\??\\C:/Windows XP/system32/drivers/windrvr.sys",
             kOurs + u".", kTalvenkp + u" ::$DATA"}) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        for (const std::string& before :
             {List({kTheirs, u"", name, u""}),
              List({u"\\??\\C:\\NEW.SYS", u"!" + name, kTheirs, u""})}) {
            SetPending(REG_MULTI_SZ, before);
            EXPECT_EQ(0, Withdraw(0));
            EXPECT_EQ(before, PendingBytes());
        }
    }
    // Nothing pending at all: nothing to take back.
    sim::machine().registry[kSessionManager].values.clear();
    const size_t first = sim::machine().calls.size();
    EXPECT_EQ(1, Withdraw(0));
    EXPECT_EQ(0, test::Count(test::CallsSince(first), "RegSetValueExW"));
}

TEST_F(RestartDelete, Win9xTakesBackOurDeletesMovesAndReplacesInLongAndShortForm)
{
    UseWindows98Directory();
    // A name that only starts like ours, our file name in another folder.
    const std::vector<std::string> others = {"NUL=C:\\OTHER.TMP",
                                             "NUL=C:\\Windows98\\SYSTEM\\VMM32\\windrvr.vx",
                                             "C:\\NEW.VXD=C:\\Windows98\\SYSTEM\\windrvr.vxd"};
    const std::string ours = std::string("NUL=") + kWindrvrVxd;
    const std::vector<std::string> big(2000, "NUL=C:\\TEMP\\0123456789.TMP");
    struct Row {
        const char* name;
        std::vector<std::string> before;
        int result;
        std::vector<std::string> after;
        const char* failing = nullptr;
    } rows[] = {
        {"long and short forms among others",
         {others[0], ours, others[1], " nul = c:\\window~1\\system\\vmm32\\windrvr.vxd", others[2],
          std::string("NUL=") + kTalvenkpVxd, std::string(kWindrvrVxd) + "=C:\\NEW.VXD",
          " C:\\WINDOW~1\\SYSTEM\\VMM32\\WINDRVR.VXD = C:\\OLD.VXD",
          std::string("C:\\SAVED.VXD=") + kTalvenkpVxd,
          " C:\\SAVED.VXD = c:\\window~1\\system\\vmm32\\WINDRVR.vxd"},
         1,
         others},
        {"ours only", {ours}, 1, {}},
        {"nothing of ours", others, 1, others},
        // A section too big to read whole is left as it is: nothing tells that none of ours is in it.
        {"too big to read whole", big, 0, big},
        {"not written", {ours, others[0]}, 0, {ours, others[0]}, "WritePrivateProfileSectionA"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RenameSection() = row.before;
        const size_t first = sim::machine().calls.size();
        if (row.failing != nullptr)
            sim::FailCall(row.failing, ERROR_ACCESS_DENIED);
        EXPECT_EQ(row.result, Withdraw(1));
        sim::ClearFailures();
        EXPECT_EQ(row.after, RenameSection());
        if (row.before == row.after && row.failing == nullptr) {
            EXPECT_EQ(0, test::Count(test::CallsSince(first), "WritePrivateProfileSectionA"));
        }
        // What was written reached the disk: Windows' cached copy flushed.
        EXPECT_TRUE(sim::machine().unflushedProfiles.empty());
    }
    // No WININIT.INI at all.
    sim::machine().profiles.clear();
    EXPECT_EQ(1, Withdraw(1));
    EXPECT_TRUE(sim::machine().profiles.empty());
}

// Both files scheduled as the uninstaller schedules them, behind what was pending before, then
// taken back: the list as it was, byte for byte.
TEST_F(RestartDelete, ScheduledDeletesAreTakenBackWhole)
{
    const std::string before = List({kTheirs, u"", kTheirsNew, kTheirsOld});
    SetPending(REG_MULTI_SZ, before);
    EXPECT_EQ(1, ScheduleDeleteAtRestart(kWindrvrSys, 0));
    EXPECT_EQ(1, ScheduleDeleteAtRestart(kTalvenkpSys, 0));
    EXPECT_EQ(before.substr(0, before.size() - 2) + List({kOurs, u"", kTalvenkp, u""}),
              PendingBytes());
    EXPECT_EQ(1, Withdraw(0));
    EXPECT_EQ(before, PendingBytes());
    // A driver path beyond ASCII, converted from the ANSI code page as MoveFileExA converts it.
    const char* const accented[1] = {"C:\\Wind\xF6ws\\windrvr.sys"};
    sim::AddFile(accented[0]);
    EXPECT_EQ(1, ScheduleDeleteAtRestart(accented[0], 0));
    EXPECT_EQ(1, WithdrawDeletesAtRestart(accented, 1, 0));
    EXPECT_EQ(before, PendingBytes());

    UseWindows98Directory();
    RenameSection() = {"NUL=C:\\OTHER.TMP"};
    EXPECT_EQ(1, ScheduleDeleteAtRestart(kWindrvrVxd, 1));
    EXPECT_EQ(1, ScheduleDeleteAtRestart(kTalvenkpVxd, 1));
    EXPECT_EQ(3u, RenameSection().size());
    EXPECT_TRUE(sim::machine().unflushedProfiles.empty());
    EXPECT_EQ(1, Withdraw(1));
    EXPECT_EQ(std::vector<std::string>{"NUL=C:\\OTHER.TMP"}, RenameSection());
}

}  // namespace
