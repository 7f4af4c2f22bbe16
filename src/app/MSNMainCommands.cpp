#include "app/MSNMain.h"
#include "platform/Threads.h"
#include "settings/MessageBundle.h"
#include "settings/SpeedDials.h"
#include "settings/TextUtil.h"

using namespace settings;

namespace app {

namespace {

using settings::SameText;
using settings::Trim;

} // namespace

void TfmKovraAssistant::OnRequestResult(std::uint32_t dwError)
{
    if (dwError == 0)
        SetStatus("pnStatusDone", "Done");
    else
        SetStatusText(ErrorStatus(dwError));
}

void TfmKovraAssistant::cbRedirectToClick()
{
    const int index = cbRedirectTo->ItemIndex();
    if (index < 1 || index > static_cast<int>(redirectEntries_.size()))
        return;
    commands_->RedirectTo(redirectEntries_[static_cast<std::size_t>(index - 1)].second);
}

void TfmKovraAssistant::UpdateSpeedDialsClick()
{
    if (!HasSwitch(parameters_, "webportal")) {
        ShowSpeedDials({});
        return;
    }
    // A fetch under way answers this request too.
    if (speedDialRunning_)
        return;
    if (speedDialFetch_.joinable())
        speedDialFetch_.join();
    speedDialRunning_ = true;
    speedDialFetch_ = std::thread(
        [this, user = SwitchValue(parameters_, "user"), portal = SwitchValue(parameters_, "webportal")] {
            TSpeedDials dials(user, portal);
            const std::vector<std::string> lines = dials.LoadSpeedDials(&speedDialStop_);
            // Done as seen from the main thread once the list is shown, so the next request
            // starts a new fetch.
            platform::Synchronize(
                [this, &lines] {
                    speedDialRunning_ = false;
                    if (!closing_)
                        ShowSpeedDials(lines);
                },
                &speedDialStop_);
            speedDialRunning_ = false;
            platform::ReleaseUnusedStack();
        });
}

// Main thread: the form joins the worker before it goes, so the worker never outlives it.
void TfmKovraAssistant::StopSpeedDialFetch()
{
    speedDialStop_ = true;
    if (speedDialFetch_.joinable())
        speedDialFetch_.join();
}

void TfmKovraAssistant::ShowSpeedDials(const std::vector<std::string>& lines)
{
    lbSpeedButtons->Items().Assign(lines);
    if (!lines.empty())
        lbSpeedButtons->SetItemIndex(0);
    ShowCallsOrSpeedDials();
}

void TfmKovraAssistant::lbSpeedButtonsDblClick()
{
    if (!phoneState_.FlagA)
        return;
    const std::string line = lbSpeedButtons->Items().Strings(lbSpeedButtons->ItemIndex());
    const auto eq = line.find('=');
    const std::string number = eq == std::string::npos ? std::string() : Trim(line.substr(eq + 1));
    if (!number.empty())
        commands_->MakeCallTo(number, 0);
}

void TfmKovraAssistant::miHelpAboutClick()
{
    services_.Dialogs->About(api_ ? api_->ServerVersion() : std::string(),
                             api_ ? api_->ApiVersion() : std::string());
}

void TfmKovraAssistant::miHelpHelpClick()
{
    if (!helpAddress_.empty())
        services_.Desktop->OpenHelp(helpAddress_ + "&topic=ka_functionality");
}

void TfmKovraAssistant::OpenOptions(int page)
{
    if (!options_)
        return;
    options_->SetCapabilities(Capabilities());
    options_->ShowPage(page);
}

} // namespace app
