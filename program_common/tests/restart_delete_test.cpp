// The delete at the next restart and its withdrawal against the simulated machine: which entries
// of the NT pending-rename list and of WININIT.INI's [rename] section are taken back, what stays
// and in which order, and a scheduled delete taken back whole.
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

// A REG_MULTI_SZ list: each entry with its NUL, then the list's final NUL.
std::string List(std::initializer_list<std::string> entries)
{
    std::string bytes;
    for (const std::string& entry : entries)
        bytes += entry + '\0';
    return bytes + '\0';
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

const std::string kOurs = std::string("\\??\\") + kWindrvrSys;
const std::string kTheirs = "\\??\\C:\\TEMP\\A.TMP";

TEST_F(RestartDelete, NtTakesBackExactlyOurDeletes)
{
    enum After { kUnchanged, kRemoved, kBecomes };
    struct Row {
        const char* name;
        std::string before;
        int result;
        After after;
        std::string becomes = "";
        const char* failing = nullptr;
        DWORD type = REG_MULTI_SZ;
    } rows[] = {
        {"ours only", List({kOurs, ""}), 1, kRemoved},
        {"both, the other without \\??\\ and in other case",
         List({kOurs, "", "c:\\WINDOWS XP\\SYSTEM32\\Drivers\\TALVENKP.SYS", ""}), 1, kRemoved},
        {"among others, in order",
         List({kTheirs, "", kOurs, "", "\\??\\C:\\B.OLD", "!\\??\\C:\\B.NEW",
               std::string("\\??\\") + kTalvenkpSys, "", "\\??\\C:\\C.TMP", ""}),
         1, kBecomes,
         List({kTheirs, "", "\\??\\C:\\B.OLD", "!\\??\\C:\\B.NEW", "\\??\\C:\\C.TMP", ""})},
        {"the short form",
         List({"\\??\\C:\\WINDOW~1\\system32\\DRIVERS\\windrvr.sys", "", kTheirs, ""}), 1, kBecomes,
         List({kTheirs, ""})},
        {"a rename of ours, a rename into ours",
         List({kOurs, "\\??\\C:\\SAVED.SYS", "\\??\\C:\\NEW.SYS", "!" + kOurs}), 1, kUnchanged},
        {"names that only start like ours",
         List({kOurs + ".bak", "", kOurs.substr(0, kOurs.size() - 1), "",
               "\\??\\\\??\\" + kOurs.substr(4), ""}),
         1, kUnchanged},
        {"a last source without its target", kTheirs + '\0' + '\0' + kOurs + '\0', 1, kBecomes,
         List({kTheirs, ""})},
        {"no final NUL", kTheirs + '\0' + '\0' + kOurs + '\0' + '\0', 1, kBecomes,
         List({kTheirs, ""})},
        {"another type", List({kOurs, ""}), 1, kUnchanged, "", nullptr, REG_BINARY},
        {"over the size limit", List({kOurs, "", std::string(2 * 1024 * 1024, 'x'), ""}), 0,
         kUnchanged},
        {"the key refused", List({kOurs, ""}), 0, kUnchanged, "", "RegOpenKeyExA"},
        {"the value not written", List({kTheirs, "", kOurs, ""}), 0, kUnchanged, "",
         "RegSetValueExA"},
        {"the value not deleted", List({kOurs, ""}), 0, kUnchanged, "", "RegDeleteValueA"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetPending(row.type, row.before);
        const size_t first = sim::machine().calls.size();
        if (row.failing != nullptr)
            sim::FailCall(row.failing, ERROR_ACCESS_DENIED);
        EXPECT_EQ(row.result, Withdraw(0));
        sim::ClearFailures();
        const sim::RegValue* value = sim::FindValue(kSessionManager, kPending);
        if (row.after == kRemoved) {
            EXPECT_EQ(nullptr, value);
        } else {
            ASSERT_NE(nullptr, value);
            EXPECT_EQ(row.type, value->type);
            EXPECT_EQ(row.after == kBecomes ? row.becomes : row.before, PendingBytes());
        }
        if (row.after == kUnchanged && row.failing == nullptr) {
            EXPECT_EQ(0, test::Count(test::CallsSince(first), "RegSetValueExA"));
        }
    }
    // Nothing pending at all: nothing to take back.
    sim::machine().registry[kSessionManager].values.clear();
    const size_t first = sim::machine().calls.size();
    EXPECT_EQ(1, Withdraw(0));
    EXPECT_EQ(0, test::Count(test::CallsSince(first), "RegSetValueExA"));
}

TEST_F(RestartDelete, Win9xTakesBackOurNulLinesInLongAndShortForm)
{
    UseWindows98Directory();
    const std::vector<std::string> others = {
        "NUL=C:\\OTHER.TMP", "C:\\Windows98\\SYSTEM\\VMM32\\windrvr.vxd=C:\\NEW.VXD",
        "NUL=C:\\Windows98\\SYSTEM\\VMM32\\windrvr.vx"};
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
          std::string("NUL=") + kTalvenkpVxd},
         1,
         others},
        {"ours only", {ours}, 1, {}},
        {"nothing of ours", others, 1, others},
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
    const std::string before = List({kTheirs, "", "\\??\\C:\\B.OLD", "!\\??\\C:\\B.NEW"});
    SetPending(REG_MULTI_SZ, before);
    EXPECT_EQ(1, ScheduleDeleteAtRestart(kWindrvrSys, 0));
    EXPECT_EQ(1, ScheduleDeleteAtRestart(kTalvenkpSys, 0));
    EXPECT_EQ(before.substr(0, before.size() - 1) +
                  List({kOurs, "", std::string("\\??\\") + kTalvenkpSys, ""}),
              PendingBytes());
    EXPECT_EQ(1, Withdraw(0));
    EXPECT_EQ(before, PendingBytes());

    UseWindows98Directory();
    RenameSection() = {"NUL=C:\\OTHER.TMP"};
    EXPECT_EQ(1, ScheduleDeleteAtRestart(kWindrvrVxd, 1));
    EXPECT_EQ(1, ScheduleDeleteAtRestart(kTalvenkpVxd, 1));
    EXPECT_EQ(3u, RenameSection().size());
    EXPECT_EQ(1, Withdraw(1));
    EXPECT_EQ(std::vector<std::string>{"NUL=C:\\OTHER.TMP"}, RenameSection());
}

}  // namespace
