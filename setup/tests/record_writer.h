// The package record as the package step writes it, made from (path in the package, bytes)
// pairs, for the native tests and the fuzz target of setup's package check.
#pragma once

#include "package_record.h"

#include <string>
#include <utility>
#include <vector>

namespace test {

using PackageFiles = std::vector<std::pair<std::string, std::string>>;

inline std::string Sha256Of(const std::string& bytes)
{
    Sha256 hash;
    Sha256Start(&hash);
    Sha256Add(&hash, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
    BYTE digest[kSha256Size];
    Sha256Finish(&hash, digest);
    return std::string(reinterpret_cast<const char*>(digest), kSha256Size);
}

inline std::string LittleEndian(size_t value)
{
    std::string bytes;
    for (int i = 0; i < 4; i++)
        bytes += static_cast<char>(value >> (8 * i));
    return bytes;
}

inline std::string RecordOf(const PackageFiles& files)
{
    std::string record = "TPK1" + LittleEndian(files.size());
    for (const auto& file : files)
        record += LittleEndian(file.second.size()) + Sha256Of(file.second) + file.first + '\0';
    return record;
}

}  // namespace test
