// kovra-encode: builds the enciphered start argument the web portal gives the program, and reads
// one back through the program's own decoder.

#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "settings/QMEncoder.h"

using namespace settings;

int main(int argc, char** argv)
{
    CLI::App app{"Builds the enciphered start argument of Kovra Assistant from its parameters\n"
                 "(kovra-encode -user bob -pwd secret ...), or decodes one (--decode ARGUMENT).",
                 "kovra-encode"};
    std::optional<std::string> argument;
    app.add_option("--decode", argument, "Print the parameters an argument decodes to, one per line")
        ->type_name("ARGUMENT");
    // The parameters start with dashes of their own (-user, -pwd): parsing stops at the first
    // one that is not the tool's, and all that follows is a parameter.
    app.prefix_command();
    app.footer("Parameters: PARAM..., passed through as given.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error);
    }
    std::vector<std::string> parameters = app.remaining();
    if (!parameters.empty() && parameters.front() == "--")
        parameters.erase(parameters.begin());

    if (argument) {
        if (!parameters.empty()) {
            std::cerr << "kovra-encode: --decode takes one argument and no parameters\n";
            return 2;
        }
        TQMEncoder decoder(*argument);
        for (const std::string& parameter : decoder.Parameters())
            std::cout << parameter << '\n';
        return 0;
    }
    if (parameters.empty()) {
        std::cerr << "kovra-encode: no parameters given\n\n" << app.help();
        return 2;
    }
    std::string encoded, error;
    if (!TQMEncoder::EncodeArgument(parameters, encoded, error)) {
        std::cerr << "kovra-encode: " << error << '\n';
        return 2;
    }
    std::cout << encoded << '\n';
    return 0;
}
