#include "dialogs/HeldCallList.h"

#include "settings/KALookAndFeel.h"
#include "settings/otutil.h"

using namespace settings;

namespace dialogs {

std::string ColumnText(std::string text)
{
    for (char& c : text)
        if (c == '\t')
            c = ' ';
    return text;
}

void MakeTwoColumnList(ui::TUnicodeListBox& list)
{
    list.SetStyle(ui::TListBoxStyle::lbOwnerDrawFixed);
    list.SetItemHeight(18);
    list.SetTabStops({70});
    list.Font().SetName("Tahoma");
    list.OnDrawItem = [](ui::TCustomListBox* sender, int index, const ui::TRect& rect,
                         ui::TOwnerDrawState state) {
        ui::TCanvas& canvas = sender->Canvas();
        const bool selected = ui::HasState(state, ui::TOwnerDrawState::odSelected);
        canvas.BrushColor = GetColour(selected ? crListSelectedBack : crListBack, 0xFFFFFF);
        canvas.Font = sender->Font();
        canvas.Font.SetColor(GetColour(selected ? crListSelectedText : crListText, 0x808080));
        canvas.FillRect(rect);
        const std::string& text = sender->Items().Strings(index);
        const std::size_t tab = text.find('\t');
        canvas.TextOut(rect.Left + 2, rect.Top + 2, text.substr(0, tab));
        if (tab != std::string::npos)
            canvas.TextOut(rect.Left + 70, rect.Top + 2, text.substr(tab + 1));
    };
}

THeldCallDialog::THeldCallDialog(ui::TComponent* owner, const THeldDesign& design)
    : TKovraDialog(owner, design.Frame), rowAtKey_(design.RowAtKey)
{
    const int width = design.Frame.Width;
    pnHeader = Add<ui::TUnicodePanel>(pnBody, "pnHeader", 0, 0, width, 62, crPopupHeader);
    txtVerb = AddLabel(pnHeader, design.VerbLabel, design.VerbCaption, 10, 6, 70, crPopupHeaderText);
    txtCallerName = AddLabel(pnHeader, "txtCallerName", "", 82, 6, width - 92, crPopupHeaderText);
    txtCallerName->Font().SetStyle(ui::fsBold);
    txtAt = AddLabel(pnHeader, design.AtLabel, "at", 10, 22, 70, crPopupHeaderText);
    txtCallerNumber = AddLabel(pnHeader, "txtCallerNumber", "", 82, 22, width - 92, crPopupHeaderText);
    txtTo = AddLabel(pnHeader, design.ToLabel, design.ToCaption, 10, 38, 70, crPopupHeaderText);
    txtPleaseSelectCall = AddLabel(pnBody, "txtPleaseSelectCall", "Please select a call from list below", 10,
                                   64, width - 20, crPopupHeaderText);
    lbHeldCalls = Add<ui::TUnicodeListBox>(pnBody, "lbHeldCalls", 10, 82, width - 20, 92, crListBack);
    MakeTwoColumnList(*lbHeldCalls);
    lbHeldCalls->OnClick = [this](ui::TComponent*) { RowChosen(); };
    btAction = AddButton(pnBody, design.ActionButton, design.ActionCaption, width - 150, 182, 140);
    btAction->SetEnabled(false);
    btAction->OnClick = [this](ui::TComponent*) { Accept(); };
    FinishCreation();
}

void THeldCallDialog::SetCaller(const std::string& name, const std::string& formattedNumber)
{
    txtCallerName->SetCaption(name);
    txtCallerNumber->SetCaption(formattedNumber);
}

void THeldCallDialog::AddHeldCall(const THeldCall& call)
{
    if (call.Conference)
        return;
    const std::string unknown = UnknownText();
    const std::string number = FormatPhoneNumber(call.Number);
    calls_.push_back(call);
    lbHeldCalls->Items().Add((call.Name.empty() ? unknown : ColumnText(call.Name)) + "\t" +
                             DialogText(rowAtKey_, "at") + " " + (number.empty() ? unknown : number));
}

void THeldCallDialog::RowChosen()
{
    const int index = lbHeldCalls->ItemIndex();
    if (index < 0 || index >= static_cast<int>(calls_.size()))
        return;
    chosen_ = calls_[static_cast<std::size_t>(index)].CallId;
    btAction->SetEnabled(true);
    ApplyColours();
}

} // namespace dialogs
