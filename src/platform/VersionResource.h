#pragma once
// The version resource of an executable file (Windows); elsewhere files carry none.

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class VersionResource {
public:
    VersionResource();
    ~VersionResource();
    VersionResource(const VersionResource&) = delete;
    VersionResource& operator=(const VersionResource&) = delete;

    // Reads the file's version information; false when it has none.
    bool Load(const std::string& fileName);
    // The value under a sub-block path ("\\", "\\VarFileInfo\\Translation",
    // "\\StringFileInfo\\040904e4\\FileVersion"); false when absent. Texts come with their
    // terminating zero.
    bool Query(const std::string& subBlock, std::string& value) const;

private:
    std::string data_;
};

// The system's name of a language identifier ("English (United States)"); empty when unknown.
std::string LanguageName(std::uint32_t languageId);

// Whether the name is that of an existing file that is not a folder.
bool IsRegularFile(const std::string& fileName);

// The full path of the running program's file.
std::string ProgramFileName();

} // namespace platform
