#include "app/win32/accessible.h"

#include <commctrl.h>

#include <atomic>
#include <string_view>
#include <utility>

namespace {

// Spelled out: the import library's IID_IAccessible is a DLL data import,
// which reads as garbage without __declspec(dllimport).
constexpr GUID kIAccessible = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr GUID kIDispatch = {
    0x00020400, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIUnknown = {
    0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct TRelease {
  void operator()(IUnknown* Object) const { Object->Release(); }
};
template <class T>
using TRef = std::unique_ptr<T, TRelease>;

// A new object with its first reference; COM's counting owns it from here on.
template <class T, class... TArgs>
T* MakeObject(TArgs&&... Args) {
  return std::make_unique<T>(std::forward<TArgs>(Args)...).release();
}

HRESULT Text(const std::wstring& S, BSTR* Out) {
  if (!Out) return E_INVALIDARG;
  *Out = nullptr;
  if (S.empty()) return S_FALSE;
  *Out = SysAllocStringLen(S.data(), UINT(S.size()));
  return *Out ? S_OK : E_OUTOFMEMORY;
}

HRESULT Number(long N, VARIANT* Out) {
  if (!Out) return E_INVALIDARG;
  VariantInit(Out);
  Out->vt = VT_I4;
  Out->lVal = N;
  return S_OK;
}

HRESULT Object(IDispatch* D, VARIANT* Out) {
  VariantInit(Out);
  Out->vt = VT_DISPATCH;
  Out->pdispVal = D;
  return S_OK;
}

// The child a VARIANT names: 0 for the object itself, -1 for none.
long ChildOf(const VARIANT& V) {
  return V.vt == VT_I4 ? V.lVal : -1;
}

std::wstring WindowText(HWND Window) {
  std::wstring s(std::size_t(GetWindowTextLengthW(Window)), L'\0');
  if (!s.empty()) s.resize(std::size_t(GetWindowTextW(Window, s.data(), int(s.size()) + 1)));
  return s;
}

// The client object of a child window, as the system or the window makes it.
IDispatch* WindowObject(HWND Window) {
  void* out = nullptr;
  if (FAILED(AccessibleObjectFromWindow(Window, DWORD(OBJID_CLIENT), kIDispatch, &out)))
    return nullptr;
  return static_cast<IDispatch*>(out);
}

// Reference counting and the parts of the interface nobody here offers: no
// type information, help, shortcuts, selection or renaming.
class TAccessibleObject : public IAccessible {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void** Out) override {
    if (!Out) return E_POINTER;
    if (IsEqualGUID(Id, kIUnknown) || IsEqualGUID(Id, kIDispatch) ||
        IsEqualGUID(Id, kIAccessible)) {
      *Out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *Out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;  // the last reference: COM's own hand-over
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* Count) override {
    if (Count) *Count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* Out) override {
    return Text({}, Out);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* Out) override { return Text({}, Out); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* File, VARIANT, long* Topic) override {
    if (Topic) *Topic = 0;
    return Text({}, File);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* Out) override {
    return Text({}, Out);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* Out) override {
    if (Out) VariantInit(Out);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 protected:
  TAccessibleObject() = default;
  virtual ~TAccessibleObject() = default;

 private:
  std::atomic<ULONG> refs_{1};
};

// A child window that draws itself: the system's object for it knows where
// it is and who its parent is; this one adds what it is.
enum TControlKind : UINT_PTR { ckButton = 1, ckRadio, ckLog };

class TControlAccessible final : public TAccessibleObject {
 public:
  TControlAccessible(HWND Window, TControlKind Kind) : wnd_(Window), kind_(Kind) {
    void* std = nullptr;
    if (SUCCEEDED(CreateStdAccessibleObject(Window, OBJID_CLIENT, kIAccessible, &std)))
      std_.reset(static_cast<IAccessible*>(std));
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** Out) override {
    return std_ ? std_->get_accParent(Out) : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* Count) override {
    if (Count) *Count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** Out) override {
    if (Out) *Out = nullptr;
    return E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT Child, BSTR* Out) override {
    if (ChildOf(Child) != CHILDID_SELF) return E_INVALIDARG;
    if (kind_ == ckLog) return Text({}, Out);
    const std::wstring text = WindowText(wnd_);
    const auto first = text.find_first_not_of(L' ');
    return Text(first == std::wstring::npos
                    ? std::wstring()
                    : text.substr(first, text.find_last_not_of(L' ') - first + 1),
                Out);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT Child, BSTR* Out) override {
    if (ChildOf(Child) != CHILDID_SELF) return E_INVALIDARG;
    if (kind_ != ckLog) return Text({}, Out);
    return Text(WindowText(wnd_), Out);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT Child, VARIANT* Out) override {
    if (ChildOf(Child) != CHILDID_SELF) return E_INVALIDARG;
    return Number(kind_ == ckRadio ? ROLE_SYSTEM_RADIOBUTTON
                  : kind_ == ckLog ? ROLE_SYSTEM_TEXT
                                   : ROLE_SYSTEM_PUSHBUTTON,
                  Out);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT Child, VARIANT* Out) override {
    if (ChildOf(Child) != CHILDID_SELF) return E_INVALIDARG;
    if (!IsWindow(wnd_)) return RPC_E_DISCONNECTED;
    long s = 0;
    if (!IsWindowVisible(wnd_)) s |= STATE_SYSTEM_INVISIBLE;
    if (!IsWindowEnabled(wnd_))
      s |= STATE_SYSTEM_UNAVAILABLE;
    else
      s |= STATE_SYSTEM_FOCUSABLE;
    if (GetFocus() == wnd_) s |= STATE_SYSTEM_FOCUSED;
    if (kind_ == ckRadio && SendMessageW(wnd_, BM_GETCHECK, 0, 0) == BST_CHECKED)
      s |= STATE_SYSTEM_CHECKED;
    if (kind_ == ckLog && (GetWindowLongW(wnd_, GWL_STYLE) & ES_READONLY))
      s |= STATE_SYSTEM_READONLY;
    return Number(s, Out);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* Out) override {
    return GetFocus() == wnd_ ? Number(CHILDID_SELF, Out) : (VariantInit(Out), S_FALSE);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT Child, BSTR* Out) override {
    if (ChildOf(Child) != CHILDID_SELF) return E_INVALIDARG;
    return Text(kind_ == ckRadio ? L"Check" : kind_ == ckButton ? L"Press" : L"", Out);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT Child) override {
    if (ChildOf(Child) != CHILDID_SELF) return E_INVALIDARG;
    if (kind_ == ckLog) return DISP_E_MEMBERNOTFOUND;
    // Posted: a command may open a dialog, and the reader must not wait on it.
    return PostMessageW(wnd_, BM_CLICK, 0, 0) ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* X, long* Y, long* W, long* H,
                                        VARIANT Child) override {
    return std_ ? std_->accLocation(X, Y, W, H, Child) : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long Dir, VARIANT Start, VARIANT* Out) override {
    return std_ ? std_->accNavigate(Dir, Start, Out) : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long X, long Y, VARIANT* Out) override {
    return std_ ? std_->accHitTest(X, Y, Out) : E_FAIL;
  }

 private:
  HWND wnd_;
  TControlKind kind_;
  TRef<IAccessible> std_;
};

LRESULT CALLBACK ControlProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam, UINT_PTR Kind,
                             DWORD_PTR Checked) {
  switch (Msg) {
    case WM_GETOBJECT:
      if (LONG(LParam) == OBJID_CLIENT) {
        TRef<TControlAccessible> object(MakeObject<TControlAccessible>(Wnd, TControlKind(Kind)));
        return LresultFromObject(kIAccessible, WParam, object.get());
      }
      break;
    case BM_GETCHECK:
      // An owner-drawn button keeps no check of its own.
      if (Checked) return *reinterpret_cast<const bool*>(Checked) ? BST_CHECKED : BST_UNCHECKED;
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(Wnd, ControlProc, Kind);
      break;
  }
  return DefSubclassProc(Wnd, Msg, WParam, LParam);
}

}  // namespace

// The window's client object: its children are the window's items, in order.
class TClientAccessible final : public TAccessibleObject {
 public:
  TClientAccessible(HWND Window, const TAccessibleParts& Parts) : wnd_(Window), parts_(&Parts) {
    void* std = nullptr;
    if (SUCCEEDED(CreateStdAccessibleObject(Window, OBJID_CLIENT, kIAccessible, &std)))
      std_.reset(static_cast<IAccessible*>(std));
  }
  void Disconnect() { parts_ = nullptr; }

  // The item a child id names, fresh from the window; false when there is
  // none, or the window is gone.
  bool Item(long Child, TAccessibleItem& Out) const {
    if (!parts_ || Child < 1) return false;
    std::vector<TAccessibleItem> items = parts_->AccessibleItems();
    if (std::size_t(Child) > items.size()) return false;
    Out = std::move(items[std::size_t(Child) - 1]);
    return true;
  }
  HRESULT Locate(const RECT& R, long* X, long* Y, long* W, long* H) const {
    if (!X || !Y || !W || !H) return E_INVALIDARG;
    POINT p{R.left, R.top};
    ClientToScreen(wnd_, &p);
    *X = p.x, *Y = p.y, *W = R.right - R.left, *H = R.bottom - R.top;
    return S_OK;
  }
  HWND Window() const { return wnd_; }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** Out) override {
    return std_ ? std_->get_accParent(Out) : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* Count) override {
    if (!Count) return E_INVALIDARG;
    if (!parts_) return RPC_E_DISCONNECTED;
    *Count = long(parts_->AccessibleItems().size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT Child, IDispatch** Out) override;
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT Child, BSTR* Out) override {
    if (ChildOf(Child) == CHILDID_SELF) return Text(WindowText(wnd_), Out);
    TAccessibleItem item;
    return Item(ChildOf(Child), item) ? Text(item.Name, Out) : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT Child, BSTR* Out) override {
    TAccessibleItem item;
    if (ChildOf(Child) == CHILDID_SELF) return Text({}, Out);
    return Item(ChildOf(Child), item) ? Text(item.Value, Out) : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT Child, VARIANT* Out) override {
    if (ChildOf(Child) == CHILDID_SELF) return Number(ROLE_SYSTEM_CLIENT, Out);
    TAccessibleItem item;
    return Item(ChildOf(Child), item) ? Number(item.Role, Out) : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT Child, VARIANT* Out) override {
    if (ChildOf(Child) == CHILDID_SELF) {
      if (!IsWindow(wnd_)) return RPC_E_DISCONNECTED;
      return Number(STATE_SYSTEM_FOCUSABLE | (GetFocus() == wnd_ ? STATE_SYSTEM_FOCUSED : 0), Out);
    }
    TAccessibleItem item;
    return Item(ChildOf(Child), item) ? Number(item.State, Out) : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* Out) override {
    if (!Out) return E_INVALIDARG;
    VariantInit(Out);
    const HWND focus = GetFocus();
    if (focus == wnd_) return Number(CHILDID_SELF, Out);
    if (!focus || !IsChild(wnd_, focus)) return S_FALSE;
    IDispatch* d = WindowObject(focus);
    return d ? Object(d, Out) : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT Child, BSTR* Out) override {
    if (ChildOf(Child) == CHILDID_SELF) return Text({}, Out);
    TAccessibleItem item;
    return Item(ChildOf(Child), item) ? Text(item.Action, Out) : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT Child) override {
    TAccessibleItem item;
    if (!Item(ChildOf(Child), item)) return E_INVALIDARG;
    if (item.Action.empty()) return DISP_E_MEMBERNOTFOUND;
    // The user's own click, posted: the reader does not wait on what it opens.
    const LPARAM at = MAKELPARAM((item.Bounds.left + item.Bounds.right) / 2,
                                 (item.Bounds.top + item.Bounds.bottom) / 2);
    PostMessageW(wnd_, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(wnd_, WM_LBUTTONUP, 0, at);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* X, long* Y, long* W, long* H,
                                        VARIANT Child) override {
    if (ChildOf(Child) == CHILDID_SELF) return std_ ? std_->accLocation(X, Y, W, H, Child) : E_FAIL;
    TAccessibleItem item;
    return Item(ChildOf(Child), item) ? Locate(item.Bounds, X, Y, W, H) : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long Dir, VARIANT Start, VARIANT* Out) override {
    if (ChildOf(Start) == CHILDID_SELF && std_) return std_->accNavigate(Dir, Start, Out);
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long X, long Y, VARIANT* Out) override {
    if (!Out) return E_INVALIDARG;
    VariantInit(Out);
    if (!parts_) return RPC_E_DISCONNECTED;
    POINT p{X, Y};
    ScreenToClient(wnd_, &p);
    const std::vector<TAccessibleItem> items = parts_->AccessibleItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (!PtInRect(&items[i].Bounds, p)) continue;
      VARIANT id;
      Number(ChildIdOf(i), &id);
      IDispatch* d = nullptr;
      if (get_accChild(id, &d) == S_OK && d) return Object(d, Out);
      return Number(ChildIdOf(i), Out);
    }
    RECT client;
    GetClientRect(wnd_, &client);
    return PtInRect(&client, p) ? Number(CHILDID_SELF, Out) : S_FALSE;
  }

 private:
  HWND wnd_;
  const TAccessibleParts* parts_;
  TRef<IAccessible> std_;
};

namespace {

// A group of child windows (the content types): its facts come from the
// window's item, its children are the windows' own objects.
class TGroupAccessible final : public TAccessibleObject {
 public:
  TGroupAccessible(TClientAccessible& Parent, long Child) : parent_(&Parent), child_(Child) {
    parent_->AddRef();
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** Out) override {
    if (!Out) return E_INVALIDARG;
    parent_->AddRef();
    *Out = parent_.get();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* Count) override {
    TAccessibleItem item;
    if (!Count) return E_INVALIDARG;
    if (!parent_->Item(child_, item)) return RPC_E_DISCONNECTED;
    *Count = long(item.Members.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT Child, IDispatch** Out) override {
    TAccessibleItem item;
    if (!Out) return E_INVALIDARG;
    *Out = nullptr;
    const long n = ChildOf(Child);
    if (!parent_->Item(child_, item) || n < 1 || std::size_t(n) > item.Members.size())
      return E_INVALIDARG;
    *Out = WindowObject(item.Members[std::size_t(n) - 1]);
    return *Out ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT Child, BSTR* Out) override {
    TAccessibleItem item;
    if (ChildOf(Child) != CHILDID_SELF || !parent_->Item(child_, item)) return E_INVALIDARG;
    return Text(item.Name, Out);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT, BSTR* Out) override { return Text({}, Out); }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT Child, VARIANT* Out) override {
    TAccessibleItem item;
    if (ChildOf(Child) != CHILDID_SELF || !parent_->Item(child_, item)) return E_INVALIDARG;
    return Number(item.Role, Out);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT Child, VARIANT* Out) override {
    TAccessibleItem item;
    if (ChildOf(Child) != CHILDID_SELF || !parent_->Item(child_, item)) return E_INVALIDARG;
    return Number(item.State, Out);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* Out) override {
    TAccessibleItem item;
    if (!Out) return E_INVALIDARG;
    VariantInit(Out);
    if (!parent_->Item(child_, item)) return S_FALSE;
    for (HWND m : item.Members)
      if (GetFocus() == m) {
        IDispatch* d = WindowObject(m);
        return d ? Object(d, Out) : S_FALSE;
      }
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* Out) override {
    return Text({}, Out);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT STDMETHODCALLTYPE accLocation(long* X, long* Y, long* W, long* H,
                                        VARIANT Child) override {
    TAccessibleItem item;
    if (ChildOf(Child) != CHILDID_SELF || !parent_->Item(child_, item)) return E_INVALIDARG;
    return parent_->Locate(item.Bounds, X, Y, W, H);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long, VARIANT, VARIANT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long X, long Y, VARIANT* Out) override {
    TAccessibleItem item;
    if (!Out) return E_INVALIDARG;
    VariantInit(Out);
    if (!parent_->Item(child_, item)) return S_FALSE;
    for (HWND m : item.Members) {
      RECT r;
      GetWindowRect(m, &r);
      if (PtInRect(&r, POINT{X, Y})) {
        IDispatch* d = WindowObject(m);
        return d ? Object(d, Out) : S_FALSE;
      }
    }
    return Number(CHILDID_SELF, Out);
  }

 private:
  TRef<TClientAccessible> parent_;
  long child_;
};

}  // namespace

HRESULT TClientAccessible::get_accChild(VARIANT Child, IDispatch** Out) {
  if (!Out) return E_INVALIDARG;
  *Out = nullptr;
  TAccessibleItem item;
  if (!Item(ChildOf(Child), item)) return E_INVALIDARG;
  if (item.Window) {
    *Out = WindowObject(item.Window);
    return *Out ? S_OK : E_FAIL;
  }
  if (!item.Members.empty()) {
    *Out = MakeObject<TGroupAccessible>(*this, ChildOf(Child));  // the caller's reference
    return S_OK;
  }
  return S_FALSE;  // a simple element: the caller asks this object about it
}

TAccessibleWindow::TAccessibleWindow(HWND Window, const TAccessibleParts& Parts)
    : wnd_(Window), parts_(Parts) {}

TAccessibleWindow::~TAccessibleWindow() {
  if (!object_) return;
  object_->Disconnect();
  object_->Release();
}

LRESULT TAccessibleWindow::Answer(WPARAM WParam, LPARAM LParam) {
  if (LONG(LParam) != OBJID_CLIENT) return 0;
  if (!object_) object_ = MakeObject<TClientAccessible>(wnd_, parts_);  // ours, until we go
  return LresultFromObject(kIAccessible, WParam, static_cast<IAccessible*>(object_));
}

void MakeAccessibleButton(HWND Button, const bool* Checked) {
  SetWindowSubclass(Button, ControlProc, Checked ? ckRadio : ckButton,
                    reinterpret_cast<DWORD_PTR>(Checked));
}

void MakeAccessibleLog(HWND Edit) {
  SetWindowSubclass(Edit, ControlProc, ckLog, 0);
}
