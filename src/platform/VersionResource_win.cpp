#include <windows.h>

#include "platform/VersionResource.h"

namespace platform {

VersionResource::VersionResource() = default;
VersionResource::~VersionResource() = default;

bool VersionResource::Load(const std::string& fileName)
{
    data_.clear();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(fileName.c_str(), &handle);
    if (size == 0)
        return false;
    std::string data(size, '\0');
    if (!GetFileVersionInfoA(fileName.c_str(), 0, size, data.data()))
        return false;
    data_ = std::move(data);
    return true;
}

bool VersionResource::Query(const std::string& subBlock, std::string& value) const
{
    value.clear();
    if (data_.empty())
        return false;
    void* pointer = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data_.data(), subBlock.c_str(), &pointer, &length) || !pointer)
        return false;
    value.assign(static_cast<const char*>(pointer), length);
    return true;
}

std::string LanguageName(std::uint32_t languageId)
{
    char name[256] = {};
    DWORD length = VerLanguageNameA(languageId, name, sizeof name);
    return std::string(name, length < sizeof name ? length : 0);
}

bool IsRegularFile(const std::string& fileName)
{
    const DWORD attributes = GetFileAttributesA(fileName.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ProgramFileName()
{
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length < MAX_PATH ? length : 0);
}

} // namespace platform
