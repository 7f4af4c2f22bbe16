#include "options/MSNOptions.h"

using namespace dialogs;

namespace options {

void TfmOptions::BuildHistoryPage()
{
    ui::TPage* page = Notebook->Page(opHistory);
    const int width = Notebook->Width();
    lbHistory = Add<ui::TListView>(page, "lbHistory", 12, 8, width - 40, 240, crListBack);
    lbHistory->SetRowSelect(true);
    lbHistory->AddColumn("Call", 60);
    lbHistory->AddColumn("Name", 100);
    // Wide enough for a number shown beside the one dialled for it.
    lbHistory->AddColumn("Number", 135);
    lbHistory->AddColumn("Time", 130);
    lbHistory->AddColumn("Length", 50);
    lbHistory->OnSelectItem = [this](ui::TComponent*, int, bool) {
        btCallBack->SetEnabled(lbHistory->ItemIndex() >= 0);
    };
    lbHistory->OnDblClick = [this](ui::TComponent*) { CallBack(); };
    btCallBack = AddPageButton(opHistory, "btCallBack", "Call back", width - 100, [this] { CallBack(); });
    btCallBack->SetEnabled(false);
}

void TfmOptions::FillHistory()
{
    std::vector<ui::TListItem> rows;
    historyNumbers_.clear();
    if (OnHistoryShown)
        for (const THistoryRow& row : OnHistoryShown()) {
            rows.push_back(
                {DialogText("History" + row.Kind, row.Kind), {row.Name, row.Number, row.When, row.Duration}});
            historyNumbers_.emplace_back(row.CallBackNumber.empty() ? row.Number : row.CallBackNumber,
                                         row.CallBackAsItStands);
        }
    lbHistory->SetItems(std::move(rows));
    btCallBack->SetEnabled(lbHistory->ItemIndex() >= 0);
}

void TfmOptions::CallBack()
{
    const int row = lbHistory->ItemIndex();
    if (row < 0 || !OnCallBack)
        return;
    // A call that never showed its number has nothing to dial.
    if (static_cast<std::size_t>(row) >= historyNumbers_.size())
        return;
    const auto& [number, asItStands] = historyNumbers_[static_cast<std::size_t>(row)];
    if (!number.empty())
        OnCallBack(number, asItStands);
}

} // namespace options
