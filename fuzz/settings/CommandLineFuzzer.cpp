// Arbitrary start arguments through the decoder, and encode-then-decode of parameters taken from
// the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "settings/Base64.h"
#include "settings/QMEncoder.h"

using namespace settings;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);

    TQMEncoder decoder(input);
    if (decoder.Parameters().empty())
        std::abort();
    for (const char* name : {"user", "webportal", "-phone", "IM", ""})
        (void)decoder.SwitchValue(name);
    (void)TBase64::Decode(input);
    if (TBase64::Decode(TBase64::Encode(input)) != input)
        std::abort();

    std::vector<std::string> parameters = TQMEncoder::Split(input, ' ');
    std::string argument, error;
    if (TQMEncoder::EncodeArgument(parameters, argument, error) && !parameters.empty()) {
        bool comesBack = true;
        for (const std::string& parameter : parameters)
            comesBack = comesBack && parameter.find('\0') == std::string::npos &&
                        parameter.find("#32") == std::string::npos;
        if (comesBack && TQMEncoder(argument).Parameters() != parameters)
            std::abort();
    }
    return 0;
}
