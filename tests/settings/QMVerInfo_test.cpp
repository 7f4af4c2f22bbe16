#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "MemoryVersionSource.h"
#include "platform/VersionResource.h"
#include "settings/QMVerInfo.h"

using namespace settings;

namespace {

std::string Dwords(std::initializer_list<std::uint32_t> values)
{
    std::string bytes;
    for (std::uint32_t value : values)
        for (int shift = 0; shift < 32; shift += 8)
            bytes += static_cast<char>((value >> shift) & 0xFF);
    return bytes;
}

std::map<std::string, std::string> SampleBlocks()
{
    return {
        {"\\VarFileInfo\\Translation", Dwords({0x04E40409, 0x04B00407})},
        {"\\", Dwords({0xFEEF04BD, 0x00010000, 0x00040001, 0x0007000C, 0x00050002, 0x00030004, 0x3F, 0x1,
                       0x40004, 0x1, 0, 0x01D9A0B1, 0x2C3E5F00})},
        {"\\StringFileInfo\\040904e4\\FileVersion", std::string("4.1.7.12\0", 9)},
        {"\\StringFileInfo\\040904e4\\ProductName", std::string("Kovra Assistant\0", 16)},
        {"\\StringFileInfo\\040904e4\\LegalTrademarks", std::string("TM", 2)},
        {"\\StringFileInfo\\040904e4\\Comments", std::string("\0", 1)},
    };
}

} // namespace

TEST(VersionInfo, VersionTextAsANumber)
{
    EXPECT_DOUBLE_EQ(TQMVersionInfo::VersionFloat("10.25.3"), 10.25);
    EXPECT_DOUBLE_EQ(TQMVersionInfo::VersionFloat("12345.6.7"), 0);
    EXPECT_DOUBLE_EQ(TQMVersionInfo::VersionFloat("5"), 5);
    EXPECT_DOUBLE_EQ(TQMVersionInfo::VersionFloat(""), 0);
    EXPECT_DOUBLE_EQ(TQMVersionInfo::VersionFloat("v4.1.2"), 0);
}

TEST(VersionInfo, FieldsOfTheFirstTranslationLoadedOnceUntilTheFileChangesAndNoneWithout)
{
    int loads = 0;
    TQMVersionInfo info(std::make_unique<TMemoryVersionSource>(SampleBlocks(), &loads));
    EXPECT_EQ(loads, 0);
    EXPECT_EQ(info.FileVersion(), "4.1.7.12");
    EXPECT_EQ(info.ProductName(), "Kovra Assistant");
    EXPECT_EQ(info.LegalTrademark(), "TM");
    EXPECT_EQ(info.Comments(), "");
    EXPECT_EQ(info.CompanyName(), "");
    EXPECT_DOUBLE_EQ(info.FileVersionFloat(), 4.1);
    EXPECT_EQ(info.LanguageCount(), 2);
    EXPECT_EQ(info.TranslationValue(), 0x04E40409u);
    EXPECT_EQ(info.LanguageName(), "English");
    EXPECT_EQ(info.FileVerMajor(), 4);
    EXPECT_EQ(info.FileVerMinor(), 1);
    EXPECT_EQ(info.FileVerBuild(), 7);
    EXPECT_EQ(info.FileVerRelease(), 12);
    EXPECT_EQ(info.ProductMajorVersion(), 0x00050002u);
    EXPECT_EQ(info.ProductVerRelease(), 4);
    EXPECT_EQ(info.FileFlagsMask(), 0x3Fu);
    EXPECT_EQ(info.FileOS(), 0x40004u);
    EXPECT_GT(info.FileDate(), 40000.0);
    EXPECT_EQ(loads, 1);

    const std::string other = (std::filesystem::temp_directory_path() / "kovra-verinfo-other.exe").string();
    std::ofstream(other) << "x";
    info.SetFileName(other);
    EXPECT_EQ(info.FileName(), other);
    info.SetFileName("/no/such/kovra.exe");
    EXPECT_EQ(info.FileName(), other);
    info.SetFileName(std::filesystem::temp_directory_path().string()); // a folder
    EXPECT_EQ(info.FileName(), other);
    EXPECT_EQ(info.ProductName(), "Kovra Assistant");
    EXPECT_EQ(loads, 2);
    info.SetFileName(other);
    EXPECT_EQ(info.FileVersion(), "4.1.7.12");
    EXPECT_EQ(loads, 2);
    std::filesystem::remove(other);

    // Without translations nothing is loaded.
    auto blocks = SampleBlocks();
    blocks.erase("\\VarFileInfo\\Translation");
    TQMVersionInfo bare(std::make_unique<TMemoryVersionSource>(blocks));
    EXPECT_EQ(bare.FileVersion(), "");
    EXPECT_EQ(bare.FileVerMajor(), 0);
    EXPECT_DOUBLE_EQ(bare.FileVersionFloat(), 0);
    EXPECT_EQ(bare.LanguageCount(), 0);
}

TEST(VersionInfo, EmptyNameMeansTheProgramsOwnFile)
{
    TQMVersionInfo info;
    EXPECT_EQ(info.FileName(), platform::ProgramFileName());
    EXPECT_FALSE(info.FileName().empty());
#ifdef _WIN32
    // The test program carries a version resource of its own.
    EXPECT_EQ(info.FileVersion(), "4.1.7.12");
    EXPECT_DOUBLE_EQ(info.FileVersionFloat(), 4.1);
    EXPECT_EQ(info.FileVerBuild(), 7);
    EXPECT_EQ(info.ProductName(), "Kovra Assistant settings tests");
    EXPECT_EQ(info.TranslationValue(), 0x04E40409u);
#else
    EXPECT_EQ(info.FileVersion(), "");
#endif
}
