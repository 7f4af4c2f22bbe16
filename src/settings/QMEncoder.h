#pragma once
// TQMEncoder: turns the program's one enciphered start argument into its plain parameters.
// The argument is '#'-separated segments, each Base64 of RC4 (under the program's key) of a
// text; the texts joined by blanks are the blank-separated parameters. Built once before the
// main window; read-only afterwards, main thread only.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

class TQMEncoder {
public:
    // The first command-line argument, or nothing when the program got none.
    explicit TQMEncoder(std::optional<std::string_view> argument);

    bool HasSwitch(std::string_view name) const;
    // The parameter after the first match of HasSwitch; empty when none or the match is last.
    std::string SwitchValue(std::string_view name) const;
    // Never empty: one empty parameter when there was nothing to decode.
    const std::vector<std::string>& Parameters() const { return parameters_; }

    static std::string Decode(std::string_view segment);
    static std::vector<std::string> Split(std::string_view text, char separator);

    // The inverse, as the web portal builds the argument: one segment per parameter, blanks in a
    // "file://" parameter written as #32. False, with the reason, for a parameter that could not
    // come back as itself (empty, or holding blanks or control characters elsewhere).
    static std::string EncodeSegment(std::string_view text);
    static bool EncodeArgument(const std::vector<std::string>& parameters, std::string& argument,
                               std::string& error);

private:
    int IndexOfSwitch(std::string_view name) const;

    std::vector<std::string> parameters_;
};

} // namespace settings
