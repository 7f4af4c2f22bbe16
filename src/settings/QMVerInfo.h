#pragma once
// TQMVersionInfo: the fields of an executable's version resource, read the first time one is
// asked for after the file name changed. A file without one gives empty texts and zeros.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Clock.h"

namespace settings {

// Where the version information comes from: the system's version resource by default.
class IVersionSource {
public:
    virtual ~IVersionSource() = default;
    virtual bool Load(const std::string& fileName) = 0;
    // Texts come with their terminating zero.
    virtual bool Query(const std::string& subBlock, std::string& value) const = 0;
    virtual std::string LanguageName(std::uint32_t languageId) const = 0;
};
std::unique_ptr<IVersionSource> SystemVersionSource();

class TQMVersionInfo {
public:
    explicit TQMVersionInfo(std::unique_ptr<IVersionSource> source = SystemVersionSource());

    const std::string& FileName() const { return fileName_; }
    // A name of a missing file is ignored; an empty name means the program's own file.
    void SetFileName(std::string_view fileName);

    std::string Comments() const { return Load().Comments; }
    std::string CompanyName() const { return Load().CompanyName; }
    std::string FileDescription() const { return Load().FileDescription; }
    std::string FileVersion() const { return Load().FileVersion; }
    std::string InternalName() const { return Load().InternalName; }
    std::string LegalCopyright() const { return Load().LegalCopyright; }
    std::string LegalTrademark() const { return Load().LegalTrademark; }
    std::string OriginalFilename() const { return Load().OriginalFilename; }
    std::string ProductName() const { return Load().ProductName; }
    std::string ProductVersion() const { return Load().ProductVersion; }

    std::uint32_t FileMajorVersion() const { return Load().FileVersionMS; }
    std::uint32_t FileMinorVersion() const { return Load().FileVersionLS; }
    std::uint32_t ProductMajorVersion() const { return Load().ProductVersionMS; }
    std::uint32_t ProductMinorVersion() const { return Load().ProductVersionLS; }
    std::uint16_t FileVerMajor() const { return High(Load().FileVersionMS); }
    std::uint16_t FileVerMinor() const { return Low(Load().FileVersionMS); }
    std::uint16_t FileVerBuild() const { return High(Load().FileVersionLS); }
    std::uint16_t FileVerRelease() const { return Low(Load().FileVersionLS); }
    std::uint16_t ProductVerMajor() const { return High(Load().ProductVersionMS); }
    std::uint16_t ProductVerMinor() const { return Low(Load().ProductVersionMS); }
    std::uint16_t ProductVerBuild() const { return High(Load().ProductVersionLS); }
    std::uint16_t ProductVerRelease() const { return Low(Load().ProductVersionLS); }
    std::uint32_t FileFlags() const { return Load().FileFlags; }
    std::uint32_t FileFlagsMask() const { return Load().FileFlagsMask; }
    std::uint32_t FileOS() const { return Load().FileOS; }
    std::uint32_t FileType() const { return Load().FileType; }
    std::uint32_t FileSubtype() const { return Load().FileSubtype; }
    platform::TDateTime FileDate() const { return Load().FileDate; }
    double FileVersionFloat() const { return VersionFloat(Load().FileVersion); }
    double ProductVersionFloat() const { return VersionFloat(Load().ProductVersion); }
    int LanguageCount() const { return Load().LanguageCount; }
    std::string LanguageName() const { return Load().LanguageName; }
    std::uint32_t TranslationValue() const { return Load().TranslationValue; }

    // "4.1" -> 4.1; "4.1.7.12" -> 4.1 (the text before a second dot within the first six
    // characters); anything else 0.
    static double VersionFloat(std::string_view text);

private:
    struct Fields {
        std::string Comments, CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright,
            LegalTrademark, OriginalFilename, ProductName, ProductVersion, LanguageName;
        std::uint32_t FileVersionMS = 0, FileVersionLS = 0, ProductVersionMS = 0, ProductVersionLS = 0;
        std::uint32_t FileFlagsMask = 0, FileFlags = 0, FileOS = 0, FileType = 0, FileSubtype = 0;
        platform::TDateTime FileDate = 0;
        int LanguageCount = 0;
        std::uint32_t TranslationValue = 0;
    };

    static std::uint16_t High(std::uint32_t value) { return static_cast<std::uint16_t>(value >> 16); }
    static std::uint16_t Low(std::uint32_t value) { return static_cast<std::uint16_t>(value & 0xFFFF); }
    const Fields& Load() const;
    std::string Text(const std::string& prefix, const char* name) const;

    std::unique_ptr<IVersionSource> source_;
    std::string fileName_;
    mutable bool loaded_ = false;
    mutable Fields fields_;
};

} // namespace settings
