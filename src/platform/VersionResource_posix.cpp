#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "platform/VersionResource.h"

namespace platform {

VersionResource::VersionResource() = default;
VersionResource::~VersionResource() = default;

bool VersionResource::Load(const std::string&)
{
    data_.clear();
    return false;
}

bool VersionResource::Query(const std::string&, std::string& value) const
{
    value.clear();
    return false;
}

std::string LanguageName(std::uint32_t)
{
    return std::string();
}

bool IsRegularFile(const std::string& fileName)
{
    struct stat status {};
    return stat(fileName.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::string ProgramFileName()
{
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

} // namespace platform
