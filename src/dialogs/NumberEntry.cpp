#include "dialogs/NumberEntry.h"

#include <algorithm>
#include <vector>

#include "settings/DialingRules.h"
#include "settings/otutil.h"

using namespace settings;

namespace dialogs {

namespace {

const char* const kRecentSection = "RecentPhoneNumbers";

} // namespace

char16_t PhoneNumberKey(char16_t key)
{
    if (key == ui::VK_BACK_KEY || (key >= u'0' && key <= u'9'))
        return key;
    switch (key) {
    case u'#':
    case u'(':
    case u')':
    case u'*':
    case u'+':
    case u'-':
        return key;
    default:
        return 0;
    }
}

void FillRecentNumbers(ui::TUnicodeComboBox& box, const TKovraAssistantConfig& config)
{
    box.Items().Clear();
    for (int i = 0; i < kRecentNumbersLimit; ++i) {
        const std::string value = config.ReadString(kRecentSection, std::to_string(i), "");
        // A number with its country code is shown as stored: the display form is a national one.
        if (!value.empty())
            box.Items().Add(value[0] == '+' ? value : FormatPhoneNumber(value));
    }
}

void AddRecentNumber(std::string_view text, TKovraAssistantConfig& config)
{
    const std::string number = WrittenDigits(text);
    std::vector<std::string> keys;
    config.ReadSection(kRecentSection, keys);
    std::vector<std::string> recent;
    for (const std::string& key : keys)
        recent.push_back(config.ReadString(kRecentSection, key, ""));
    const auto present = std::find(recent.begin(), recent.end(), number);
    if (present != recent.end())
        recent.erase(present);
    recent.insert(recent.begin(), number);
    while (recent.size() > static_cast<std::size_t>(kRecentNumbersLimit))
        recent.pop_back();
    config.EraseSection(kRecentSection);
    for (std::size_t i = 0; i < recent.size(); ++i)
        config.WriteString(kRecentSection, std::to_string(i), recent[i]);
}

TNumberEntryDialog::TNumberEntryDialog(ui::TComponent* owner, const TEntryDesign& design,
                                       TKovraAssistantConfig& config)
    : TKovraDialog(owner, design.Frame), config_(config)
{
    txtEntryLabel = AddLabel(pnBody, design.LabelName, design.LabelCaption, 12, 8, 200);
    cbPhones = Add<ui::TUnicodeComboBox>(pnBody, "cbPhones", 12, 26, 190, 24, crBody);
    cbPhones->Font().SetName("Tahoma");
    cbPhones->Font().SetSize(10); // 13 px
    cbPhones->Font().SetColor(ui::clBlack);
    cbPhones->OnKeyPress = [](ui::TComponent*, char16_t& key) { key = PhoneNumberKey(key); };
    cbPhones->OnChange = [this](ui::TComponent*) { EntryChanged(); };
    btOk = AddButton(pnBody, "btOk", "OK", design.Frame.Width - 90, 27);
    btOk->SetEnabled(false);
    btOk->OnClick = [this](ui::TComponent*) { OkClicked(); };
    if (design.RecentNumbers)
        FillRecentNumbers(*cbPhones, config_);
}

void TNumberEntryDialog::EntryChanged()
{
    btOk->SetEnabled(!cbPhones->Text().empty());
    ApplyColours();
}

void TNumberEntryDialog::OkClicked()
{
    AddRecentNumber(cbPhones->Text(), config_);
    Accept();
}

} // namespace dialogs
