#include "settings/SpeedDials.h"

#include "platform/HttpGet.h"
#include "settings/MessageBundle.h"
#include "settings/TextUtil.h"

namespace settings {

TSpeedDials::TSpeedDials(std::string_view user, std::string_view portalAddress) : user_(user)
{
    if (!portalAddress.empty())
        address_ = std::string(portalAddress) + "/KovraAppsServlet?Command=GetSpeedDials";
}

const std::vector<std::string>& TSpeedDials::LoadSpeedDials(const std::atomic<bool>* stop)
{
    list_.clear();
    if (address_.empty())
        return list_;
    platform::HttpConnection connection;
    if (!OpenPortalConnection(connection, address_))
        return list_;
    // The portal expects this header ended by a line feed and then a carriage return.
    std::string header = "user: " + user_ + "\n\r";
    if (FetchResource(connection, address_, buffer_, stop, header))
        list_ = ParseAnswer(buffer_);
    buffer_.clear();
    connection.Close();
    return list_;
}

std::vector<std::string> TSpeedDials::ParseAnswer(std::string_view answer)
{
    std::vector<std::string> lines;
    answer = answer.substr(0, answer.find('\0'));
    std::size_t lineEnd = answer.find('\r');
    if (lineEnd == std::string_view::npos)
        return lines;
    int count = settings::StrToIntDef(answer.substr(0, lineEnd), 0);
    // Only a line feed belongs to the line end; an answer with bare carriage returns keeps the
    // first entry whole.
    std::size_t next = lineEnd + 1;
    if (next < answer.size() && answer[next] == '\n')
        ++next;
    if (count < 1)
        return lines;
    for (const std::string& piece : settings::SplitSkippingEmpty(settings::Trim(answer.substr(next)), '\r'))
        lines.push_back(settings::Trim(piece));
    return lines;
}

} // namespace settings
