// The package record in setup.exe's image, and the checks against it through the system's file
// reads and folder listing; every file and listing handle is closed on every path.
#include "package_record.h"

#include <string.h>

#include "bounded_text.h"
#include "file_reading.h"
#include "registry_key.h"

namespace {

const BYTE kRecordMark[4] = {'T', 'P', 'K', '1'};
// A section name is eight bytes, NUL-padded.
const char kRecordSection[8] = ".talpkg";

// Offsets in a PE image: of the PE header in the DOS header; in the PE header, of the section
// count, the optional header's size and the optional header itself; in a section header, of the
// virtual size and address.
enum {
    kPeHeaderOffset = 0x3C,
    kSectionCountOffset = 6,
    kOptionalSizeOffset = 20,
    kOptionalHeaderOffset = 24,
    kSectionHeaderSize = 40,
    kSectionVirtualSize = 8,
    kSectionVirtualAddress = 12,
};

// An entry's size and digest, before its path.
enum { kEntryHeadSize = 4 + kSha256Size };
// A path in the package (at most 255 characters) and its NUL; the same behind the package folder.
enum { kPackagePathSize = 256, kFolderPathSize = 1024 };

struct Entry {
    DWORD size;
    const BYTE* digest;
    const char* path;  // in the record
};

// The file bytes are read in blocks of this size; the buffer lives outside the stack.
BYTE g_block[32768];

DWORD ReadLittleEndian(const BYTE* bytes)
{
    return bytes[0] | static_cast<DWORD>(bytes[1]) << 8 | static_cast<DWORD>(bytes[2]) << 16 |
           static_cast<DWORD>(bytes[3]) << 24;
}

// The entry at `at` of a record that ReadPackageRecord found whole; the position behind it.
const BYTE* ReadEntry(const BYTE* at, Entry* entry)
{
    entry->size = ReadLittleEndian(at);
    entry->digest = at + 4;
    entry->path = reinterpret_cast<const char*>(at + kEntryHeadSize);
    return at + kEntryHeadSize + strlen(entry->path) + 1;
}

// Paths compared as Windows compares names: ASCII letters in either case.
bool SamePath(const char* a, const char* b)
{
    for (;; a++, b++) {
        char x = *a >= 'a' && *a <= 'z' ? static_cast<char>(*a - 32) : *a;
        char y = *b >= 'a' && *b <= 'z' ? static_cast<char>(*b - 32) : *b;
        if (x != y)
            return false;
        if (x == '\0')
            return true;
    }
}

bool FindEntry(const PackageRecord& record, const char* packagePath, Entry* entry)
{
    const BYTE* at = record.entries;
    for (DWORD i = 0; i < record.count; i++) {
        at = ReadEntry(at, entry);
        if (SamePath(entry->path, packagePath))
            return true;
    }
    return false;
}

// The file at `path` against its entry: kPackageWhole or the problem.
int CheckFile(const Entry& entry, const char* path, void (*keepAnswering)())
{
    FileHandle file(OpenFileForReading(path));
    if (!file.IsOpen()) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? kPackageFileMissing
                   : kPackageFileUnreadable;
    }
    Sha256 hash;
    Sha256Start(&hash);
    DWORD left = entry.size;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), g_block, sizeof g_block, &read, NULL))
            return kPackageFileUnreadable;
        if (read == 0)
            break;
        if (read > left)
            return kPackageFileChanged;  // longer than the record says
        left -= read;
        Sha256Add(&hash, g_block, read);
        if (keepAnswering)
            keepAnswering();
    }
    BYTE digest[kSha256Size];
    Sha256Finish(&hash, digest);
    return left == 0 && memcmp(digest, entry.digest, kSha256Size) == 0 ? kPackageWhole
                                                                       : kPackageFileChanged;
}

// The first entry of the package's system\ folder that the record does not list, into `foreign`;
// false when there is none (or no such folder: its listed files are then found missing).
bool FindForeignDriverFile(const PackageRecord& record, const char* packageDir, char* foreign)
{
    char pattern[kFolderPathSize];
    if (!JoinText(pattern, sizeof pattern, packageDir, "system\\*"))
        return false;
    WIN32_FIND_DATAA found;
    FindHandle listing(FindFirstFileA(pattern, &found));
    if (!listing.IsOpen())
        return false;
    do {
        const char* name = found.cFileName;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;  // the folder itself and its parent
        // A name too long for a path in the package is none of the record's; it is named cut.
        Entry entry;
        if (!FormatTextCut(foreign, kPackagePathSize, "system\\%s", name) ||
            !FindEntry(record, foreign, &entry))
            return true;
    } while (FindNextFileA(listing.Get(), &found));
    return false;
}

}  // namespace

bool ReadPackageRecord(const BYTE* data, DWORD size, PackageRecord* record)
{
    if (size < 8 || memcmp(data, kRecordMark, sizeof kRecordMark) != 0)
        return false;
    DWORD count = ReadLittleEndian(data + 4);
    const BYTE* at = data + 8;
    DWORD left = size - 8;
    // A package holds at least uninstall.exe, the read-me and the drivers.
    if (count == 0)
        return false;
    for (DWORD i = 0; i < count; i++) {
        // The head, then a path of at least one character and its NUL.
        const BYTE* end = left > kEntryHeadSize + 1
                              ? static_cast<const BYTE*>(
                                    memchr(at + kEntryHeadSize + 1, 0, left - kEntryHeadSize - 1))
                              : NULL;
        if (end == NULL || at[kEntryHeadSize] == 0)
            return false;
        left -= static_cast<DWORD>(end + 1 - at);
        at = end + 1;
    }
    if (left != 0)
        return false;
    record->entries = data + 8;
    record->size = size - 8;
    record->count = count;
    return true;
}

// The headers are the loader's own: it mapped the image by them.
bool FindPackageRecord(const void* image, PackageRecord* record)
{
    const BYTE* base = static_cast<const BYTE*>(image);
    const BYTE* pe = base + ReadLittleEndian(base + kPeHeaderOffset);
    DWORD sections = pe[kSectionCountOffset] | pe[kSectionCountOffset + 1] << 8;
    const BYTE* section =
        pe + kOptionalHeaderOffset + (pe[kOptionalSizeOffset] | pe[kOptionalSizeOffset + 1] << 8);
    for (DWORD i = 0; i < sections; i++, section += kSectionHeaderSize) {
        if (memcmp(section, kRecordSection, sizeof kRecordSection) == 0)
            return ReadPackageRecord(base + ReadLittleEndian(section + kSectionVirtualAddress),
                                     ReadLittleEndian(section + kSectionVirtualSize), record);
    }
    return false;
}

int CheckPackageFolder(const PackageRecord& record, const char* packageDir, char* problemPath,
                       size_t problemPathSize, void (*keepAnswering)())
{
    char foreign[kPackagePathSize];
    if (FindForeignDriverFile(record, packageDir, foreign)) {
        CopyTextCut(problemPath, problemPathSize, foreign);
        return kPackageFileForeign;
    }
    Entry entry;
    const BYTE* at = record.entries;
    for (DWORD i = 0; i < record.count; i++) {
        at = ReadEntry(at, &entry);
        char path[MAX_PATH];
        int problem = JoinText(path, sizeof path, packageDir, entry.path)
                          ? CheckFile(entry, path, keepAnswering)
                          : kPackageTooDeep;
        if (problem != kPackageWhole) {
            CopyTextCut(problemPath, problemPathSize, entry.path);
            return problem;
        }
    }
    return kPackageWhole;
}

int FileMatchesRecord(const PackageRecord& record, const char* packagePath, const char* path)
{
    Entry entry;
    return FindEntry(record, packagePath, &entry) && CheckFile(entry, path, NULL) == kPackageWhole;
}
