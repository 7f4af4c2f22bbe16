#include "settings/QMEncoder.h"

#include "settings/ArcFour.h"
#include "settings/Base64.h"
#include "settings/TextUtil.h"

namespace settings {

namespace {

// Shared with the web portal that builds the start argument; 59 printable bytes.
constexpr std::string_view kArgumentKey = "Kovra:desk-companion/start.key#5 (portal->assistant) 2f9c1e";
static_assert(kArgumentKey.size() == 59);

constexpr std::string_view kFileScheme = "file://";
constexpr std::string_view kEncodedBlank = "#32";

} // namespace

TQMEncoder::TQMEncoder(std::optional<std::string_view> argument)
{
    if (argument) {
        std::string joined;
        for (const std::string& segment : Split(*argument, '#'))
            joined += settings::Trim(Decode(segment)) + " ";
        parameters_ = Split(joined, ' ');
        for (std::string& parameter : parameters_)
            if (parameter.find(kFileScheme) != std::string::npos)
                parameter = settings::ReplaceAll(parameter, kEncodedBlank, " ");
    }
    if (parameters_.empty())
        parameters_.emplace_back();
}

std::vector<std::string> TQMEncoder::Split(std::string_view text, char separator)
{
    return settings::SplitSkippingEmpty(text, separator);
}

std::string TQMEncoder::Decode(std::string_view segment)
{
    std::string plain = TArcFour(kArgumentKey).Apply(TBase64::Decode(segment));
    return plain.substr(0, plain.find('\0'));
}

int TQMEncoder::IndexOfSwitch(std::string_view name) const
{
    if (name.empty())
        return -1;
    std::string dashed = "-" + std::string(name);
    for (std::size_t i = 0; i < parameters_.size(); ++i)
        if (settings::SameText(parameters_[i], dashed) || settings::SameText(parameters_[i], name))
            return static_cast<int>(i);
    return -1;
}

bool TQMEncoder::HasSwitch(std::string_view name) const
{
    return IndexOfSwitch(name) >= 0;
}

std::string TQMEncoder::SwitchValue(std::string_view name) const
{
    int index = IndexOfSwitch(name);
    if (index < 0 || index + 1 >= static_cast<int>(parameters_.size()))
        return std::string();
    return parameters_[static_cast<std::size_t>(index) + 1];
}

std::string TQMEncoder::EncodeSegment(std::string_view text)
{
    return TBase64::Encode(TArcFour(kArgumentKey).Apply(text));
}

bool TQMEncoder::EncodeArgument(const std::vector<std::string>& parameters, std::string& argument,
                                std::string& error)
{
    argument.clear();
    for (const std::string& parameter : parameters) {
        std::string text = parameter;
        if (text.find(kFileScheme) != std::string::npos)
            text = settings::ReplaceAll(text, " ", kEncodedBlank);
        bool representable = !text.empty();
        for (char c : text)
            if (static_cast<unsigned char>(c) <= ' ')
                representable = false;
        if (!representable) {
            error = "parameter \"" + parameter + "\" is empty or holds blanks or control characters";
            argument.clear();
            return false;
        }
        if (!argument.empty())
            argument += '#';
        argument += EncodeSegment(text);
    }
    return true;
}

} // namespace settings
