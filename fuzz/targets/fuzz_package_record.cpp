// Setup's package record and the check of a package folder against it. The input is a package:
// a choice byte, a position byte, then files as path and content fields. The target writes their
// record as the package step does, lays the files out on the stand-in's disk, and damages one
// thing or none: a byte of the record, the record cut, a file longer, a file gone, a file more in
// system\. Properties: a record is read only inside its bytes (the sanitizers watch); an intact
// package over an intact record is whole; a damaged file is found and named; nothing stays open.
#include "fuzz_input.h"
#include "package_record.h"
#include "record_writer.h"

#include <strings.h>

#include <vector>

namespace {

// Paths as the package step writes them: names of letters, digits, '-', '_' and '.', neither "."
// nor "..", joined by single backslashes; in system\ only files.
bool UsablePath(const std::string& path)
{
    if (path.empty() || path.size() > 60 || path.front() == '\\' || path.back() == '\\' ||
        path.find("\\\\") != path.npos || strcasecmp(path.c_str(), "system") == 0)
        return false;
    for (char c : path)
        if (!isalnum(static_cast<unsigned char>(c)) && !strchr("-_.\\", c))
            return false;
    std::string wrapped = "\\" + path + "\\";
    if (wrapped.find("\\.\\") != wrapped.npos || wrapped.find("\\..\\") != wrapped.npos)
        return false;
    return strncasecmp(path.c_str(), "system\\", 7) != 0 || path.find('\\', 7) == path.npos;
}

// Whether one path is the other or a folder on its way.
bool Collide(const std::string& a, const std::string& b)
{
    const std::string& shorter = a.size() < b.size() ? a : b;
    const std::string& longer = a.size() < b.size() ? b : a;
    return strncasecmp(shorter.c_str(), longer.c_str(), shorter.size()) == 0 &&
           (longer.size() == shorter.size() || longer[shorter.size()] == '\\');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const int damage = input.Byte() % 6;
    const uint8_t where = input.Byte();
    test::PackageFiles files;
    while (!input.Empty() && files.size() < 8) {
        std::string path = input.Field();
        std::string content = input.Field();
        bool usable = UsablePath(path);
        for (const auto& file : files)
            usable = usable && !Collide(file.first, path);
        if (usable)
            files.push_back({path, content});
    }
    if (files.empty())
        return 0;
    std::string bytes = test::RecordOf(files);
    if (damage == 1)
        bytes[where % bytes.size()] ^= static_cast<char>(where | 1);
    if (damage == 2)
        bytes.resize(where % bytes.size());

    sim::Reset();
    sim::AddDirectory("C:\\DIST");
    sim::AddDirectory("C:\\DIST\\system");
    for (const auto& file : files) {
        for (size_t slash = file.first.find('\\'); slash != file.first.npos;
             slash = file.first.find('\\', slash + 1))
            sim::AddDirectory("C:\\DIST\\" + file.first.substr(0, slash));
        sim::AddFile("C:\\DIST\\" + file.first, FILE_ATTRIBUTE_NORMAL, file.second);
    }
    const auto& victim = files[where % files.size()];
    if (damage == 3)
        sim::AddFile("C:\\DIST\\" + victim.first, FILE_ATTRIBUTE_NORMAL, victim.second + "x");
    if (damage == 4)
        sim::machine().files.erase("C:\\DIST\\" + victim.first);
    if (damage == 5)
        sim::AddFile("C:\\DIST\\system\\~extra.sys");

    std::vector<BYTE> exact(bytes.begin(), bytes.end());
    PackageRecord record;
    const bool read = ReadPackageRecord(exact.data(), static_cast<DWORD>(exact.size()), &record);
    FUZZ_CHECK(read || damage == 1 || damage == 2);
    if (read) {
        char problemPath[256] = "";
        const int problem =
            CheckPackageFolder(record, "C:\\DIST\\", problemPath, sizeof problemPath, NULL);
        const int expected[] = {
            kPackageWhole,      problem, problem, kPackageFileChanged, kPackageFileMissing,
            kPackageFileForeign};
        FUZZ_CHECK(problem == expected[damage]);
        if (damage == 3 || damage == 4)
            FUZZ_CHECK(victim.first == problemPath);
        if (damage == 5)
            FUZZ_CHECK(strcmp(problemPath, "system\\~extra.sys") == 0);
        if (damage == 0)
            for (const auto& file : files)
                FUZZ_CHECK(FileMatchesRecord(record, file.first.c_str(),
                                             ("C:\\DIST\\" + file.first).c_str()) == 1);
    }
    FUZZ_CHECK(sim::OpenHandleCount() == 0);
    return 0;
}
