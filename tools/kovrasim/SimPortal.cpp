#include "SimPortal.h"

#include <fstream>
#include <sstream>

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace kovrasim {
namespace {

std::string ContentType(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    if (extension == "gif")
        return "image/gif";
    if (extension == "png")
        return "image/png";
    if (extension == "ico")
        return "image/x-icon";
    if (extension == "css")
        return "text/css";
    if (extension == "html" || extension == "htm")
        return "text/html; charset=UTF-8";
    return "text/plain; charset=UTF-8";
}

} // namespace

bool IsPlainFileName(const std::string& name)
{
    if (name.empty() || name[0] == '.' || name.size() > 128)
        return false;
    for (char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '.' || c == '-' || c == '_';
        if (!plain)
            return false;
    }
    return true;
}

TSimPortal::TSimPortal(std::string dataDir) : dataDir_(std::move(dataDir))
{
}

TSimPortal::~TSimPortal()
{
    Stop();
}

std::string TSimPortal::ReadData(const std::string& relative, bool& found) const
{
    std::ifstream file(dataDir_ + "/" + relative, std::ios::binary);
    found = static_cast<bool>(file);
    std::stringstream text;
    if (found)
        text << file.rdbuf();
    return text.str();
}

bool TSimPortal::LoadSpeedDials(std::string& error)
{
    bool found = false;
    const std::string text = ReadData("speeddials.json", found);
    if (!found)
        return true;
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        error = "speeddials.json in " + dataDir_ + " is not a JSON object";
        return false;
    }
    for (const auto& [user, entries] : document.items()) {
        if (!entries.is_array())
            continue;
        for (const auto& entry : entries)
            if (entry.is_object() && entry.value("label", nlohmann::json()).is_string() &&
                entry.value("number", nlohmann::json()).is_string())
                speedDials_[user].emplace_back(entry["label"].get<std::string>(),
                                               entry["number"].get<std::string>());
    }
    return true;
}

std::string TSimPortal::SpeedDialAnswer(const std::string& user) const
{
    const auto found = speedDials_.find(user);
    if (found == speedDials_.end())
        return "0\r\n";
    std::string text = std::to_string(found->second.size()) + "\r\n";
    for (const auto& [label, number] : found->second)
        text += label + "=" + number + "\r\n";
    return text;
}

bool TSimPortal::Start(const std::string& address, int port, std::string& error)
{
    if (!LoadSpeedDials(error))
        return false;
    server_ = std::make_unique<httplib::Server>();
    Routes();
    port_ = port == 0 ? server_->bind_to_any_port(address.c_str())
                      : (server_->bind_to_port(address.c_str(), port) ? port : -1);
    if (port_ <= 0) {
        error = "cannot listen for the portal on " + address + ":" + std::to_string(port);
        server_.reset();
        return false;
    }
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    return true;
}

void TSimPortal::Stop()
{
    if (server_)
        server_->stop();
    if (thread_.joinable())
        thread_.join();
    server_.reset();
}

void TSimPortal::Routes()
{
    auto file = [this](const std::string& relative, httplib::Response& response) {
        bool found = false;
        const std::string body = ReadData(relative, found);
        if (!found) {
            response.status = 404;
            response.set_content("not found: " + relative + "\n", "text/plain");
            return;
        }
        response.set_content(body, ContentType(relative).c_str());
    };
    // A portal address given with a trailing slash makes "//path"; web servers take it as "/path".
    server_->Get(
        "/+KovraAppsServlet", [this, file](const httplib::Request& request, httplib::Response& response) {
            const std::string command = request.get_param_value("Command");
            if (command == "GetMsgBundle") {
                file("KovraApps_en_US.properties", response);
            } else if (command == "GetSpeedDials") {
                // Without a user the answer is still a well-formed empty list.
                if (!request.has_header("user"))
                    response.status = 400;
                response.set_content(SpeedDialAnswer(request.get_header_value("user")), "text/plain");
            } else {
                response.status = 400;
                response.set_content("unknown command: " + command + "\n", "text/plain");
            }
        });
    server_->Get(R"(/+inc/WebPortalStyles\.css)",
                 [file](const httplib::Request&, httplib::Response& response) {
                     file("WebPortalStyles.css", response);
                 });
    server_->Get(R"(/+images/logo\.gif)", [file](const httplib::Request&, httplib::Response& response) {
        file("logo.gif", response);
    });
    server_->Get(R"(/+icons/([^/]*))", [file](const httplib::Request& request, httplib::Response& response) {
        const std::string name = request.matches[1];
        if (!IsPlainFileName(name)) {
            response.status = 404;
            response.set_content("no such icon\n", "text/plain");
            return;
        }
        file("icons/" + name, response);
    });
    server_->Get(R"(/+help(/([^/]*))?)", [file](const httplib::Request& request,
                                                httplib::Response& response) {
        const std::string name = request.matches.size() > 2 ? std::string(request.matches[2]) : std::string();
        if (name.empty()) {
            file("help/index.html", response);
            return;
        }
        if (!IsPlainFileName(name)) {
            response.status = 404;
            response.set_content("no such page\n", "text/plain");
            return;
        }
        file("help/" + name, response);
    });
}

} // namespace kovrasim
