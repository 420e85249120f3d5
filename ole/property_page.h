#pragma once
// A property page (IPropertyPage) shown by a property frame: the page site, the objects being
// edited, a modeless child dialog made from a template of this module while the page is active,
// and the dirty state reported to the site.
//
// A page class derives from PropertyPage among its interfaces (ComObject<..., PropertyPage>) and
// supplies its hooks: its dialog template and title string, filling the dialog once it exists,
// one handler for the dialog's messages, and applying its values to the objects.

#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <vector>

#include "win/com.h"
#include "win/window_owner.h"

namespace tidewire {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class PropertyPage : public IPropertyPage, private WindowOwner {
 public:
  // IPropertyPage
  HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
  HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  HRESULT STDMETHODCALLTYPE Deactivate() override;
  HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
  HRESULT STDMETHODCALLTYPE Show(UINT command) override;
  HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
  HRESULT STDMETHODCALLTYPE IsPageDirty() override;
  HRESULT STDMETHODCALLTYPE Apply() override;
  HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpFolder) override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message) override;

  // The page's dialog while the page is active; else null.
  HWND PageWindow() const { return OwnedWindow(); }

 protected:
  PropertyPage();
  ~PropertyPage();

  // The objects that the frame handed over, in its order.
  const std::vector<ComPtr<IUnknown>>& Objects() const { return objects_; }

  bool IsDirty() const { return dirty_; }
  // Records whether the page holds values not yet applied and tells the site when that changes.
  void SetDirty(bool dirty);
  // Marks the page dirty and tells the site so, even when it already was.
  void ReportDirty();

  // The page's dialog template (a child dialog without caption) and the string that the frame
  // shows on the page's tab, both resources of CodeModule().
  virtual UINT DialogTemplateId() const = 0;
  virtual UINT TitleStringId() const = 0;
  // The dialog has just been created: fill its controls. The page counts as clean afterwards,
  // whatever change notifications filling raised.
  virtual void OnInitPage() = 0;
  // One message of the dialog; returns whether it was handled, `*result` being its result then
  // (0 unless the hook sets it).
  virtual bool HandlePageMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) = 0;
  // Writes the dialog's values to the objects; called only while the dialog exists. The page's
  // dirty state afterwards is the hook's to set.
  virtual HRESULT OnApply() = 0;

 private:
  bool HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  // The dialog's size in pixels: made once, hidden and without the page's hooks, and measured.
  HRESULT MeasureDialog(SIZE& size) const;

  bool dirty_ = false;
  // Released in reverse order, the objects before the site; a dialog that a frame left open goes
  // last, untied from the page (WindowOwner).
  ComPtr<IPropertyPageSite> site_;
  std::vector<ComPtr<IUnknown>> objects_;
};

#pragma GCC diagnostic pop

}  // namespace tidewire
