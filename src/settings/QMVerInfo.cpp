#include "settings/QMVerInfo.h"

#include <charconv>
#include <cstdio>

#include "platform/VersionResource.h"

namespace settings {

namespace {

class TSystemVersionSource : public IVersionSource {
public:
    bool Load(const std::string& fileName) override { return resource_.Load(fileName); }
    bool Query(const std::string& subBlock, std::string& value) const override
    {
        return resource_.Query(subBlock, value);
    }
    std::string LanguageName(std::uint32_t languageId) const override
    {
        return platform::LanguageName(languageId);
    }

private:
    platform::VersionResource resource_;
};

std::uint32_t DwordAt(const std::string& bytes, std::size_t index)
{
    std::size_t at = index * 4;
    if (at + 4 > bytes.size())
        return 0;
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

// 100 ns ticks since 1601-01-01 to days since 1899-12-30.
platform::TDateTime FromFileTime(std::uint32_t high, std::uint32_t low)
{
    constexpr double kTicksPerDay = 864000000000.0;
    constexpr double kDaysFrom1601To1899 = 109205.0;
    std::uint64_t ticks = (static_cast<std::uint64_t>(high) << 32) | low;
    return ticks == 0 ? 0.0 : static_cast<double>(ticks) / kTicksPerDay - kDaysFrom1601To1899;
}

bool ParseWhole(std::string_view text, double& value)
{
    if (text.empty())
        return false;
    auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    return error == std::errc() && end == text.data() + text.size();
}

} // namespace

std::unique_ptr<IVersionSource> SystemVersionSource()
{
    return std::make_unique<TSystemVersionSource>();
}

TQMVersionInfo::TQMVersionInfo(std::unique_ptr<IVersionSource> source) : source_(std::move(source))
{
    SetFileName({});
}

void TQMVersionInfo::SetFileName(std::string_view fileName)
{
    std::string name(fileName);
    if (name.empty()) {
        name = platform::ProgramFileName();
    } else if (!platform::IsRegularFile(name)) {
        return;
    }
    if (name != fileName_)
        loaded_ = false;
    fileName_ = name;
}

std::string TQMVersionInfo::Text(const std::string& prefix, const char* name) const
{
    std::string value;
    if (!source_->Query(prefix + name, value))
        return std::string();
    return value.substr(0, value.find('\0'));
}

const TQMVersionInfo::Fields& TQMVersionInfo::Load() const
{
    if (loaded_)
        return fields_;
    loaded_ = true;
    fields_ = Fields{};
    std::string translations;
    if (!source_ || !source_->Load(fileName_) ||
        !source_->Query("\\VarFileInfo\\Translation", translations) || translations.size() < 4)
        return fields_;
    fields_.LanguageCount = static_cast<int>(translations.size() / 4);
    fields_.TranslationValue = DwordAt(translations, 0);
    fields_.LanguageName = source_->LanguageName(fields_.TranslationValue & 0xFFFF);

    char code[16];
    std::snprintf(code, sizeof code, "%04x%04x", static_cast<unsigned>(fields_.TranslationValue & 0xFFFF),
                  static_cast<unsigned>(fields_.TranslationValue >> 16));
    std::string prefix = std::string("\\StringFileInfo\\") + code + "\\";

    std::string fixed;
    if (source_->Query("\\", fixed)) {
        // VS_FIXEDFILEINFO: signature and structure version come first.
        fields_.FileVersionMS = DwordAt(fixed, 2);
        fields_.FileVersionLS = DwordAt(fixed, 3);
        fields_.ProductVersionMS = DwordAt(fixed, 4);
        fields_.ProductVersionLS = DwordAt(fixed, 5);
        fields_.FileFlagsMask = DwordAt(fixed, 6);
        fields_.FileFlags = DwordAt(fixed, 7);
        fields_.FileOS = DwordAt(fixed, 8);
        fields_.FileType = DwordAt(fixed, 9);
        fields_.FileSubtype = DwordAt(fixed, 10);
        fields_.FileDate = FromFileTime(DwordAt(fixed, 11), DwordAt(fixed, 12));
    }
    fields_.Comments = Text(prefix, "Comments");
    fields_.CompanyName = Text(prefix, "CompanyName");
    fields_.FileDescription = Text(prefix, "FileDescription");
    fields_.FileVersion = Text(prefix, "FileVersion");
    fields_.InternalName = Text(prefix, "InternalName");
    fields_.LegalCopyright = Text(prefix, "LegalCopyright");
    fields_.LegalTrademark = Text(prefix, "LegalTrademarks");
    fields_.OriginalFilename = Text(prefix, "OriginalFilename");
    fields_.ProductName = Text(prefix, "ProductName");
    fields_.ProductVersion = Text(prefix, "ProductVersion");
    return fields_;
}

double TQMVersionInfo::VersionFloat(std::string_view text)
{
    double value = 0;
    if (ParseWhole(text, value))
        return value;
    std::size_t first = text.find('.');
    std::size_t second = first == std::string_view::npos ? first : text.find('.', first + 1);
    if (second != std::string_view::npos && second < 6 && ParseWhole(text.substr(0, second), value))
        return value;
    return 0;
}

} // namespace settings
