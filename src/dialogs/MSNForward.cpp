#include "dialogs/MSNForward.h"

#include "dialogs/NumberEntry.h"

using namespace settings;

namespace dialogs {

namespace {

constexpr int kWidth = 400;
constexpr int kRowHeight = 28;
constexpr int kFirstRow = 30;

TKovraDialog::TFrameDesign Design()
{
    TKovraDialog::TFrameDesign design;
    design.Width = kWidth;
    design.Height = 22 + 26 + kFirstRow + TfmForward::kKinds * kRowHeight + 40;
    design.TitlePanel = "pnTitleForward";
    design.Title = "Forward my phone in the following scenarios:";
    return design;
}

struct TForwardRow {
    const char* Label;
    const char* Caption;
    const char* Box;
};

constexpr TForwardRow kRows[TfmForward::kKinds] = {
    {"txtForwardAll", "Always", "cbForwardAll"},
    {"txtForwardBusy", "When phone is busy", "cbForwardBusy"},
    {"txtForwardNoAnswer", "When calls are not answered", "cbForwardNoAnswer"},
    {"txtForwardOOS", "When phone is out of service", "cbForwardOOS"},
};

} // namespace

TfmForward::TfmForward(ui::TComponent* owner, TKovraAssistantConfig& config)
    : TKovraDialog(owner, Design()), config_(config)
{
    SetName("fmForward");
    txtPhoneNumber = AddLabel(pnBody, "txtPhoneNumber", "Phone Number", 200, 8, 180);
    std::array<ui::TUnicodeComboBox*, kKinds> boxes{};
    for (int i = 0; i < kKinds; ++i) {
        const int top = kFirstRow + i * kRowHeight;
        AddLabel(pnBody, kRows[i].Label, kRows[i].Caption, 12, top + 3, 185);
        boxes[i] = Add<ui::TUnicodeComboBox>(pnBody, kRows[i].Box, 200, top, 185, 24, crBody);
        boxes[i]->Font().SetColor(ui::clBlack);
        FillRecentNumbers(*boxes[i], config_);
    }
    cbForwardAll = boxes[0];
    cbForwardBusy = boxes[1];
    cbForwardNoAnswer = boxes[2];
    cbForwardOOS = boxes[3];
    btOk = AddButton(pnBody, "btOk", "OK", kWidth - 90, kFirstRow + kKinds * kRowHeight + 6);
    btOk->OnClick = [this](ui::TComponent*) { OkClick(); };
    FinishCreation();
}

std::array<ui::TUnicodeComboBox*, TfmForward::kKinds> TfmForward::Boxes() const
{
    return {cbForwardAll, cbForwardBusy, cbForwardNoAnswer, cbForwardOOS};
}

void TfmForward::SetUp(const std::array<std::string, kKinds>& current,
                       const std::array<bool, kKinds>& enabled)
{
    const auto boxes = Boxes();
    for (int i = 0; i < kKinds; ++i) {
        boxes[i]->SetText(current[i]);
        boxes[i]->SetEnabled(enabled[i]);
    }
    ApplyColours();
}

std::array<std::string, TfmForward::kKinds> TfmForward::Texts() const
{
    std::array<std::string, kKinds> texts;
    const auto boxes = Boxes();
    for (int i = 0; i < kKinds; ++i)
        texts[i] = boxes[i]->Text();
    return texts;
}

void TfmForward::OkClick()
{
    for (const std::string& text : Texts())
        AddRecentNumber(text, config_);
    Accept();
}

} // namespace dialogs
