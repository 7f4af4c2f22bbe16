#pragma once
// A version resource held in memory, block by block as the system's query returns them (texts
// with their terminating zero); counts its loads so that a test sees when the file is read.

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "settings/QMVerInfo.h"

class TMemoryVersionSource : public settings::IVersionSource {
public:
    explicit TMemoryVersionSource(std::map<std::string, std::string> blocks, int* loads = nullptr)
        : blocks_(std::move(blocks)), loads_(loads)
    {
    }
    // Fails, as for a file without a resource, when it holds no blocks.
    bool Load(const std::string&) override
    {
        if (loads_)
            ++*loads_;
        return !blocks_.empty();
    }
    bool Query(const std::string& subBlock, std::string& value) const override
    {
        const auto found = blocks_.find(subBlock);
        value = found == blocks_.end() ? std::string() : found->second;
        return found != blocks_.end();
    }
    std::string LanguageName(std::uint32_t id) const override { return id == 0x0409 ? "English" : "?"; }

private:
    std::map<std::string, std::string> blocks_;
    int* loads_;
};
