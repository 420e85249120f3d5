#include "settings/settings_page_win.h"

#include <commctrl.h>

#include "control/dpi_scaling.h"
#include "resources/settings_page_ids.h"
#include "tidewire_idl.h"
#include "win/com.h"
#include "win/dpi.h"

namespace tidewire {
namespace {

constexpr int FeedColumnWidth = 200;
constexpr int SlowestSpeed = -10;
constexpr int FastestSpeed = 10;
constexpr WPARAM SpeedTickSpacing = 2;

// The first of the objects that is a control, or null.
ComPtr<ITidewireGadget> FirstGadget(const std::vector<ComPtr<IUnknown>>& objects) {
  for (const ComPtr<IUnknown>& object : objects) {
    ComPtr<ITidewireGadget> gadget;
    if (object && SUCCEEDED(object.As(&gadget))) return gadget;
  }
  return nullptr;
}

}  // namespace

CTidewireGadgetPropPage::CTidewireGadgetPropPage(IUnknown* outer) : ComObject(outer) {
  // The dialog's list view and trackbar, before any dialog of the page is made.
  const INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&classes);
}

std::span<const InterfaceEntry<CTidewireGadgetPropPage>> CTidewireGadgetPropPage::InterfaceMap() {
  static constexpr InterfaceEntry<CTidewireGadgetPropPage> map[] = {
      Entry<CTidewireGadgetPropPage, IPropertyPage>()};
  return map;
}

HRESULT CTidewireGadgetPropPage::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  return Create(outer, iid, object);
}

UINT CTidewireGadgetPropPage::DialogTemplateId() const { return IDD_SETTINGS_PAGE; }

UINT CTidewireGadgetPropPage::TitleStringId() const { return IDS_SETTINGS_PAGE_TITLE; }

HWND CTidewireGadgetPropPage::Item(int id) const { return ::GetDlgItem(PageWindow(), id); }

std::u16string CTidewireGadgetPropPage::ItemText(int id) const {
  const HWND item = Item(id);
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(item)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(::GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
  return std::u16string(Utf16View(text.data(), text.size()));
}

void CTidewireGadgetPropPage::OnInitPage() {
  rows_.clear();
  const KnownFeedTitles titles;
  const HWND list = Item(IDC_FEED_LIST);
  ListView_SetExtendedListViewStyleEx(list, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  // A width at 96 DPI, as wide in inches at the list's own DPI as the dialog around it.
  column.cx = ScaleForDpi(FeedColumnWidth, WindowDpi(list));
  ListView_InsertColumn(list, 0, &column);

  UniqueBstr flags;
  UniqueBstr feeds;
  int refreshMinutes = 0;
  int delaySeconds = 0;
  int speed = 0;
  if (const ComPtr<ITidewireGadget> gadget = FirstGadget(Objects())) {
    gadget->get_FeedURLsActive(flags.Put());
    gadget->get_FeedURLs(feeds.Put());
    gadget->get_FeedRefreshRate(&refreshMinutes);
    gadget->get_DelayBetweenFeeds(&delaySeconds);
    gadget->get_SpeechSpeed(&speed);
  }
  for (const FeedRow& row : FeedRows(feeds.View(), flags.View(), titles)) AppendRow(row);
  ::SetDlgItemTextW(PageWindow(), IDC_RELOAD_MINUTES, WideChars(NumberFieldText(refreshMinutes)));
  ::SetDlgItemTextW(PageWindow(), IDC_DELAY_SECONDS, WideChars(NumberFieldText(delaySeconds)));

  const HWND slider = Item(IDC_SPEED);
  ::SendMessageW(slider, TBM_SETRANGEMIN, FALSE, SlowestSpeed);
  ::SendMessageW(slider, TBM_SETRANGEMAX, TRUE, FastestSpeed);
  ::SendMessageW(slider, TBM_SETTICFREQ, SpeedTickSpacing, 0);
  ::SendMessageW(slider, TBM_SETPOS, TRUE, speed);
}

void CTidewireGadgetPropPage::AppendRow(const FeedRow& row) {
  rows_.push_back(row);
  const HWND list = Item(IDC_FEED_LIST);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(rows_.size() - 1);
  std::u16string text = row.text;
  item.pszText = reinterpret_cast<wchar_t*>(text.data());
  fillingList_ = true;
  const int at = ListView_InsertItem(list, &item);
  if (at >= 0) ListView_SetCheckState(list, at, row.active ? TRUE : FALSE);
  fillingList_ = false;
  if (at < 0) rows_.pop_back();
}

bool CTidewireGadgetPropPage::HandlePageMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                                LRESULT*) {
  // Every message it handles has the result 0.
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const UINT code = HIWORD(wParam);
      if (id == IDC_ADD_FEED && code == BN_CLICKED) {
        AddFeed();
        return true;
      }
      if (id == IDC_REMOVE_FEEDS && code == BN_CLICKED) {
        RemoveSelectedFeeds();
        return true;
      }
      if ((id == IDC_RELOAD_MINUTES || id == IDC_DELAY_SECONDS) && code == EN_CHANGE) {
        SetDirty(true);
        return true;
      }
      return false;
    }
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(lParam) != Item(IDC_SPEED)) return false;
      SetDirty(true);
      return true;
    case WM_NOTIFY: {
      const NMHDR& header = *reinterpret_cast<const NMHDR*>(lParam);
      if (header.idFrom != IDC_FEED_LIST) return false;
      switch (header.code) {
        case NM_CLICK:
        case NM_DBLCLK:
        case NM_RCLICK:
        case NM_RDBLCLK: listChanged_ = true; return true;
        case LVN_ITEMCHANGED:
          OnRowStateChanged(*reinterpret_cast<const NMLISTVIEW*>(lParam));
          return true;
        default: return false;
      }
    }
    default: return false;
  }
}

void CTidewireGadgetPropPage::OnRowStateChanged(const NMLISTVIEW& change) {
  if (fillingList_ || (change.uChanged & LVIF_STATE) == 0) return;
  if (((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) == 0) return;
  // A tick set or cleared, also from the keyboard, is a change to apply and to report: without
  // it, a changed tick alone would leave the page clean and unapplied.
  listChanged_ = true;
  SetDirty(true);
}

void CTidewireGadgetPropPage::AddFeed() {
  const FeedToAdd feed = CheckFeedToAdd(ItemText(IDC_FEED_TO_ADD));
  if (!feed.refusal.empty()) {
    ShowMessage(feed.refusal);
    ::SetFocus(Item(IDC_FEED_TO_ADD));
    return;
  }
  AppendRow(AddedFeedRow(feed.address));
  ::SetDlgItemTextW(PageWindow(), IDC_FEED_TO_ADD, L"");
  SetDirty(true);
  listChanged_ = true;
}

void CTidewireGadgetPropPage::RemoveSelectedFeeds() {
  const HWND list = Item(IDC_FEED_LIST);
  std::vector<int> selected;
  for (int i = ListView_GetNextItem(list, -1, LVNI_SELECTED); i >= 0;
       i = ListView_GetNextItem(list, i, LVNI_SELECTED)) {
    selected.push_back(i);
  }
  if (selected.empty()) {
    ShowMessage(NoFeedSelectedMessage);
    ::SetFocus(list);
    return;
  }
  // From the last row to the first, so that the rows still to go keep their positions.
  fillingList_ = true;
  for (auto row = selected.rbegin(); row != selected.rend(); ++row) {
    if (static_cast<std::size_t>(*row) >= rows_.size()) continue;
    ListView_DeleteItem(list, *row);
    rows_.erase(rows_.begin() + *row);
  }
  fillingList_ = false;
  SetDirty(true);
  listChanged_ = true;
}

void CTidewireGadgetPropPage::ShowMessage(std::u16string_view text) {
  const std::u16string message(text);
  const std::u16string caption(SettingsMessageCaption);
  ::MessageBoxW(PageWindow(), WideChars(message), WideChars(caption), MB_OK);
}

HRESULT CTidewireGadgetPropPage::OnApply() {
  const HWND list = Item(IDC_FEED_LIST);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    rows_[i].active = ListView_GetCheckState(list, static_cast<int>(i)) == 1;
  }
  const int speed = static_cast<int>(::SendMessageW(Item(IDC_SPEED), TBM_GETPOS, 0, 0));
  const PageValues values = ValuesToApply(rows_, listChanged_, ItemText(IDC_RELOAD_MINUTES),
                                          ItemText(IDC_DELAY_SECONDS), speed);
  UniqueBstr flags;
  UniqueBstr feeds;
  if (values.lists) {
    flags = UniqueBstr(values.lists->activeFlags);
    feeds = UniqueBstr(values.lists->feeds);
  }
  for (const ComPtr<IUnknown>& object : Objects()) {
    ComPtr<ITidewireGadget> gadget;
    if (!object || FAILED(object.As(&gadget))) continue;
    if (values.lists) {
      gadget->put_FeedURLsActive(flags.Get());
      gadget->put_FeedURLs(feeds.Get());
    }
    gadget->put_FeedRefreshRate(values.refreshMinutes);
    gadget->put_DelayBetweenFeeds(values.delaySeconds);
    gadget->put_SpeechSpeed(values.speed);
  }
  // The frame's Apply button stays available after an Apply.
  ReportDirty();
  return S_OK;
}

}  // namespace tidewire
