#include "dialogs/CallLaterEntryFm.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "dialogs/NumberEntry.h"
#include "settings/DialingRules.h"
#include "settings/TextUtil.h"
#include "settings/otutil.h"

using namespace settings;

namespace dialogs {

TfmCallLaterEntry* fmCallLaterEntry = nullptr;

namespace {

constexpr int kWidth = 300;
constexpr int kEntryHeight = 66;
constexpr int kWhenHeight = 56;
constexpr int kIMHeight = 26;
constexpr int kButtonsHeight = 34;
constexpr int kSelectRowHeight = 16;

TKovraDialog::TFrameDesign Design()
{
    TKovraDialog::TFrameDesign design;
    design.Width = kWidth;
    design.Height = 22 + 26 + kEntryHeight + kWhenHeight + kIMHeight + kButtonsHeight;
    design.TitlePanel = "pnTitleCallLaterEntry";
    design.Title = "Call";
    design.Position = ui::TPosition::poDesktopCenter;
    return design;
}

// A contact's number without the word naming its kind ("Work +1 425 555 1234"), when it has one.
std::string ContactNumber(const std::string& text)
{
    const std::string number = settings::Trim(text);
    const auto space = number.find(' ');
    const auto other = number.find_first_not_of("0123456789*#+-.()/");
    return space != std::string::npos && other < space ? settings::Trim(number.substr(space + 1)) : number;
}

// A number as the box shows it: a "+" number as written, so that the rules dial its country code;
// another in the national form.
std::string ShownNumber(const std::string& number)
{
    return number.starts_with('+') ? number : FormatPhoneNumber(number);
}

} // namespace

int MinutesUntil(std::uint32_t callTime, platform::TDateTime now)
{
    if (callTime == 0)
        return 0;
    const double minutes = (DosToDateTime(callTime) - now) * 24.0 * 60.0;
    if (minutes <= 0)
        return 0;
    return std::max(0, static_cast<int>(std::floor(minutes)) + 1);
}

TfmCallLaterEntry::TfmCallLaterEntry(ui::TComponent* owner, TReminderClock clock)
    : TKovraDialog(owner, Design()), clock_(std::move(clock))
{
    SetName("fmCallLaterEntry");
    SetFormStyle(ui::TFormStyle::fsStayOnTop);
    auto panel = [this](const char* name, int height) {
        auto* p = Add<ui::TUnicodePanel>(pnBody, name, 0, 0, kWidth, height, crBody);
        p->SetAlign(ui::TAlign::alTop);
        return p;
    };
    pnEntry = panel("pnEntry", kEntryHeight);
    pnNumber = panel("pnNumber", 0);
    pnWhen = panel("pnWhen", kWhenHeight);
    pnIM = panel("pnIM", kIMHeight);
    pnButtons = panel("pnButtons", kButtonsHeight);

    AddLabel(pnEntry, "txtName", "Name:", 12, 10, 60);
    edName = Add<ui::TEdit>(pnEntry, "edName", 80, 6, 200, 22, crBody);
    AddLabel(pnEntry, "txtNumber", "Number:", 12, 40, 60);
    edNumber = Add<ui::TEdit>(pnEntry, "edNumber", 80, 36, 200, 22, crBody);
    for (auto* edit : {edName, edNumber}) {
        edit->Font().SetColor(ui::clBlack);
        edit->OnChange = [this](ui::TComponent*) { UpdateControls(); };
    }
    edNumber->OnKeyPress = [](ui::TComponent*, char16_t& key) { key = PhoneNumberKey(key); };

    lbSelect = Add<ui::TUnicodeListBox>(pnNumber, "lbSelect", 80, 0, 200, 0, crListBack);
    lbSelect->SetStyle(ui::TListBoxStyle::lbOwnerDrawFixed);
    lbSelect->SetItemHeight(kSelectRowHeight);
    lbSelect->OnDrawItem = [](ui::TCustomListBox* box, int index, const ui::TRect& rect,
                              ui::TOwnerDrawState) {
        const std::string& text = box->Items().Strings(index);
        const auto space = text.find(' ');
        ui::TCanvas& canvas = box->Canvas();
        canvas.FillRect(rect);
        canvas.TextOut(rect.Left + 8, rect.Top + 1, text.substr(0, space));
        if (space != std::string::npos)
            canvas.TextOut(rect.Left + 73, rect.Top + 1, text.substr(space));
    };
    lbSelect->OnClick = [this](ui::TComponent*) { SelectClick(); };

    rbCallNow = Add<ui::TUnicodeLightRadioButton>(pnWhen, "rbCallNow", 12, 4, 120, 20, crBody);
    rbCallNow->SetCaption("Call Now");
    rbCallIn = Add<ui::TUnicodeLightRadioButton>(pnWhen, "rbCallIn", 12, 28, 70, 20, crBody);
    rbCallIn->SetCaption("Call in");
    for (auto* radio : {rbCallNow, rbCallIn})
        radio->OnClick = [this](ui::TComponent*) { UpdateControls(); };
    edTime = Add<ui::TSpinEdit>(pnWhen, "edTime", 84, 28, 60, 22, crBody);
    edTime->SetRange(1, 999);
    edTime->SetValue(1);
    edTime->Font().SetColor(ui::clBlack);
    AddLabel(pnWhen, "txtMinutes", "minutes", 150, 31, 80);

    ckOnline = Add<ui::TUnicodeLightCheckBox>(pnIM, "ckOnline", 12, 4, 260, 20, crBody);
    ckOnline->SetCaption("Call only when user is online");

    btOk = AddButton(pnButtons, "btOk", "OK", kWidth - 90, 6);
    btOk->SetEnabled(false);
    btOk->OnClick = [this](ui::TComponent*) { OkClick(); };
    FinishCreation();
    fmCallLaterEntry = this;
}

TfmCallLaterEntry::~TfmCallLaterEntry()
{
    if (pending_ && done_) {
        pending_ = false;
        done_(TCallLater{}, target_, true);
    }
    if (fmCallLaterEntry == this)
        fmCallLaterEntry = nullptr;
}

void TfmCallLaterEntry::SetUp(TCallLater* target, const TCallLater& entry, TDone done, bool messenger,
                              const std::optional<TContactNumbers>& contact)
{
    target_ = target;
    done_ = std::move(done);
    pending_ = true;
    pnIM->SetVisible(messenger);
    const int minutes = MinutesUntil(entry.CallTime, clock_());
    rbCallNow->SetChecked(minutes < 1);
    rbCallIn->SetChecked(minutes >= 1);
    edName->SetText(entry.Name);
    edNumber->SetText(ShownNumber(entry.Number));
    edTime->SetValue(minutes);
    ckOnline->SetChecked(entry.OnlineOnly != 0);
    FillNumbers(contact);
    UpdateControls();
    int height = pnCaption->Height() + (pnTitle ? pnTitle->Height() : 0);
    for (auto* each : {pnEntry, pnNumber, pnWhen, pnIM, pnButtons})
        if (each->Visible())
            height += each->Height();
    SetHeight(height);
    ShowForm();
}

void TfmCallLaterEntry::FillNumbers(const std::optional<TContactNumbers>& contact)
{
    lbSelect->Items().Clear();
    numbers_.clear();
    if (contact) {
        const std::pair<const char*, const std::string*> kinds[] = {
            {"Work", &contact->Work}, {"Mobile", &contact->Mobile}, {"Home", &contact->Home}};
        for (const auto& [key, number] : kinds)
            if (const std::string shown = ShownNumber(ContactNumber(*number)); !shown.empty()) {
                numbers_.push_back(shown);
                lbSelect->Items().Add(DialogText(key, key) + " " + shown);
            }
    }
    const int rows = lbSelect->Items().Count();
    if (rows > 0 && edNumber->Text().empty())
        edNumber->SetText(numbers_[0]);
    pnNumber->SetHeight(rows * kSelectRowHeight + 15);
    lbSelect->SetHeight(rows * kSelectRowHeight + 4);
    pnNumber->SetVisible(rows > 0);
}

void TfmCallLaterEntry::UpdateControls()
{
    edTime->SetEnabled(!rbCallNow->Checked());
    // A number without a digit to dial would make a reminder that can never call.
    btOk->SetEnabled(!DialableDigits(edNumber->Text()).empty());
    ApplyColours();
}

void TfmCallLaterEntry::SelectClick()
{
    const int index = lbSelect->ItemIndex();
    if (index >= 0 && index < static_cast<int>(numbers_.size()))
        edNumber->SetText(numbers_[index]);
}

void TfmCallLaterEntry::OkClick()
{
    if (!pending_ || !btOk->Enabled())
        return;
    TCallLater result;
    result.Name = settings::Trim(edName->Text());
    if (result.Name.empty())
        result.Name = DialogText("Unknown", "Unknown");
    result.Number = WrittenDigits(edNumber->Text());
    result.OnlineOnly = ckOnline->Checked() ? 1 : 0;
    if (rbCallIn->Checked())
        result.CallTime = DateTimeToDos(clock_() + edTime->Value() / (24.0 * 60.0));
    pending_ = false;
    if (done_)
        done_(result, target_, false);
    Close();
}

} // namespace dialogs
