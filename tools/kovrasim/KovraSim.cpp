#include "KovraSim.h"

#include "SimControl.h"
#include "SimPortal.h"
#include "SimScenario.h"

namespace kovrasim {

TKovraSim::TKovraSim(TSimOptions options)
    : options_(std::move(options)), server_(options_, trace_, lock_), phones_(options_, server_, trace_)
{
    server_.SetHandler(&phones_);
}

TKovraSim::~TKovraSim()
{
    Stop();
}

bool TKovraSim::Start(std::string& error)
{
    if (!phones_.LoadData(error))
        return false;
    if (!trace_.Open(options_.TraceFile)) {
        error = "cannot open trace file " + options_.TraceFile;
        return false;
    }
    if (!server_.Bind(error))
        return false;
    if (options_.PortalPort >= 0) {
        portal_ = std::make_unique<TSimPortal>(options_.DataDir);
        if (!portal_->Start(options_.PortalAddress, options_.PortalPort, error)) {
            portal_.reset();
            return false;
        }
    }
    if (options_.ControlPort >= 0) {
        control_ = std::make_unique<TSimControlPort>(*this);
        if (!control_->Start(static_cast<std::uint16_t>(options_.ControlPort), error)) {
            control_.reset();
            if (portal_)
                portal_->Stop();
            return false;
        }
    }
    server_.Start();
    started_ = true;
    return true;
}

void TKovraSim::Stop()
{
    stopping_ = true;
    if (scenario_.joinable())
        scenario_.join();
    if (control_)
        control_->Stop();
    if (portal_)
        portal_->Stop();
    if (started_)
        server_.Stop();
    started_ = false;
}

int TKovraSim::PortalPort() const
{
    return portal_ ? portal_->Port() : -1;
}

int TKovraSim::ControlPort() const
{
    return control_ ? control_->Port() : -1;
}

std::string TKovraSim::Execute(const std::string& line)
{
    TSimControl control(*this);
    const std::string answer = control.Execute(line);
    if (control.QuitAsked())
        quit_ = true;
    return answer;
}

bool TKovraSim::StartScenario(const std::string& path, std::string& error)
{
    std::vector<TScenarioLine> lines;
    if (!LoadScenario(path, lines, error))
        return false;
    scenario_ = std::thread([this, lines = std::move(lines)] {
        for (const TScenarioLine& line : lines) {
            if (stopping_)
                return;
            const std::string answer = Execute(line.Text);
            trace_.Note("scenario line " + std::to_string(line.Number) + ": " + line.Text + " -> " + answer);
            if (answer.rfind("error", 0) == 0)
                std::fprintf(stderr, "kovrasim: scenario line %d: %s: %s\n", line.Number, line.Text.c_str(),
                             answer.c_str());
        }
    });
    return true;
}

} // namespace kovrasim
