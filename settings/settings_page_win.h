#pragma once
// CTidewireGadgetPropPage: the control's settings page, shown in a property frame. It edits the
// feed subscriptions (add, remove, tick active), the reload period, the scrolling speed and the
// pause between lines, and talks to the controls it is given only through ITidewireGadget: it
// reads the values from the first one when its dialog opens and writes them to all on Apply.

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#include <ocidl.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ole/com_object.h"
#include "ole/module_lock.h"
#include "ole/property_page.h"
#include "settings/settings_page.h"

namespace tidewire {

class CTidewireGadgetPropPage final : public ComObject<CTidewireGadgetPropPage, PropertyPage> {
 public:
  explicit CTidewireGadgetPropPage(IUnknown* outer);
  static std::span<const InterfaceEntry<CTidewireGadgetPropPage>> InterfaceMap();
  // The class object's creation function.
  static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object);

 private:
  // PropertyPage's hooks.
  UINT DialogTemplateId() const override;
  UINT TitleStringId() const override;
  void OnInitPage() override;
  bool HandlePageMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  HRESULT OnApply() override;

  void AddFeed();
  void RemoveSelectedFeeds();
  void AppendRow(const FeedRow& row);
  // A check box changed, by mouse or keyboard.
  void OnRowStateChanged(const NMLISTVIEW& change);
  void ShowMessage(std::u16string_view text);
  HWND Item(int id) const;
  std::u16string ItemText(int id) const;

  // Fields release in reverse order: the page's state, then the module lock.
  ModuleLockHolder moduleLock_;
  // The rows of the feed list, one per list item in the same order; their ticks live in the list
  // until Apply reads them.
  std::vector<FeedRow> rows_;
  // Set by any change of the list; the lists are written on Apply only when it is set.
  bool listChanged_ = false;
  // The page itself is changing list items: their notifications are not the user's.
  bool fillingList_ = false;
};

}  // namespace tidewire
