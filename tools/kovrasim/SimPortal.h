#pragma once
// The web portal stand-in: message bundle, style sheet, logo, icons, speed dials per user (from
// the "user" request header) and help pages, all read from the data folder.

#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
}

namespace kovrasim {

class TSimPortal {
public:
    explicit TSimPortal(std::string dataDir);
    ~TSimPortal();

    // Listens on address:port (0 picks a free port); false with a message when it cannot.
    bool Start(const std::string& address, int port, std::string& error);
    void Stop();
    int Port() const { return port_; }

    // The speed-dial answer for a user: the count, then label=number lines, each ended by CR LF.
    std::string SpeedDialAnswer(const std::string& user) const;

private:
    void Routes();
    bool LoadSpeedDials(std::string& error);
    std::string ReadData(const std::string& relative, bool& found) const;

    std::string dataDir_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = -1;
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> speedDials_;
};

// A file name safe to look up under a data folder: letters, digits, '.', '-', '_', not starting with '.'.
bool IsPlainFileName(const std::string& name);

} // namespace kovrasim
