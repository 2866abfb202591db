#include "dispatch.h"

#include <algorithm>
#include <cwctype>

#include "log.h"
#include "testbed/client/utf8.h"
#include "testbed/client/testbed_client.h"

namespace tavrolin::testbed {
namespace {

bool SameName(const wchar_t* a, const wchar_t* b) { return _wcsicmp(a, b) == 0; }

// A member the settings make this Word not know, as an older Word does not.
bool Unknown(const wchar_t* member) {
  const std::wstring list = Current().unknownMembers;
  size_t from = 0;
  while (from <= list.size()) {
    size_t end = std::min(list.find(L',', from), list.size());
    std::wstring name = list.substr(from, end - from);
    name.erase(0, name.find_first_not_of(L' '));
    name.erase(name.find_last_not_of(L' ') + 1);
    if (!name.empty() && SameName(name.c_str(), member)) return true;
    from = end + 1;
  }
  return false;
}

bool IsMissing(const VARIANT* v) {
  const VARIANT* target = v;
  if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) target = v->pvarVal;
  return target->vt == VT_ERROR && target->scode == DISP_E_PARAMNOTFOUND;
}

// The text form of a logged value: strings as they are, integers in decimal, booleans -1/0.
std::wstring ValueText(const VARIANT& v) {
  VARIANT plain;
  VariantInit(&plain);
  if (FAILED(VariantCopyInd(&plain, const_cast<VARIANT*>(&v)))) return L"";
  std::wstring text;
  switch (plain.vt) {
    case VT_BSTR: text = plain.bstrVal ? std::wstring(plain.bstrVal, SysStringLen(plain.bstrVal)) : L""; break;
    case VT_BOOL: text = std::to_wstring(static_cast<int>(plain.boolVal)); break;
    case VT_I1: text = std::to_wstring(static_cast<int>(plain.cVal)); break;
    case VT_UI1: text = std::to_wstring(plain.bVal); break;
    case VT_I2: text = std::to_wstring(plain.iVal); break;
    case VT_UI2: text = std::to_wstring(plain.uiVal); break;
    case VT_I4: text = std::to_wstring(plain.lVal); break;
    case VT_UI4: text = std::to_wstring(plain.ulVal); break;
    case VT_INT: text = std::to_wstring(plain.intVal); break;
    case VT_UINT: text = std::to_wstring(plain.uintVal); break;
    case VT_I8: text = std::to_wstring(plain.llVal); break;
    case VT_UI8: text = std::to_wstring(plain.ullVal); break;
    case VT_ERROR: text = std::to_wstring(plain.scode); break;
    case VT_R4:
    case VT_R8:
    case VT_DATE:
    case VT_CY:
    case VT_DECIMAL:
      if (SUCCEEDED(VariantChangeType(&plain, &plain, 0, VT_BSTR))) text = plain.bstrVal;
      break;
    default: break;
  }
  VariantClear(&plain);
  return text;
}

nlohmann::json ArgJson(const std::wstring& name, int position, const VARIANT& v) {
  return {{"name", ToUtf8(name)}, {"pos", position}, {"vt", v.vt}, {"value", ToUtf8(ValueText(v))}};
}

LONG g_objects = 0;
DWORD g_endThread = 0;
ULONGLONG g_lastActivity = 0;

}  // namespace

bool g_rejectionPending = false;

bool TakeRejection() {
  bool pending = g_rejectionPending;
  g_rejectionPending = false;
  return pending;
}

ULONGLONG LastActivity() { return g_lastActivity; }

void MarkCallRejected() { g_rejectionPending = true; }

void EndWhenUnused(DWORD thread) { g_endThread = thread; }

void ObjectCreated() { InterlockedIncrement(&g_objects); }

void ObjectDestroyed() {
  if (InterlockedDecrement(&g_objects) == 0 && g_endThread) PostThreadMessageW(g_endThread, WM_QUIT, 0, 0);
}

HRESULT WordError(EXCEPINFO* info, long code, const std::wstring& description) {
  return WordErrorCode(info, static_cast<HRESULT>(0x800A0000u | static_cast<unsigned>(code)), description);
}

HRESULT WordErrorCode(EXCEPINFO* info, HRESULT scode, const std::wstring& description) {
  if (!info) return scode;
  *info = EXCEPINFO{};
  info->scode = scode;
  info->bstrSource = SysAllocString(L"Microsoft Word");
  info->bstrDescription = SysAllocString(description.c_str());
  return DISP_E_EXCEPTION;
}

const VARIANT* Args::Get(size_t index) const { return index < byParam_.size() ? byParam_[index] : nullptr; }

HRESULT Args::Mismatch(const VARIANT* v) const {
  for (UINT i = 0; params_ && i < params_->cArgs; ++i) {
    if (&params_->rgvarg[i] == v) const_cast<Args*>(this)->badArgument = i;
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT Args::StringFrom(const VARIANT* v, std::wstring& out) const {
  VARIANT plain;
  VariantInit(&plain);
  if (FAILED(VariantCopyInd(&plain, const_cast<VARIANT*>(v)))) return Mismatch(v);
  // Word takes anything that reads as text, but not nothing, objects or arrays.
  VARTYPE t = plain.vt;
  bool refused = t == VT_EMPTY || t == VT_NULL || t == VT_DISPATCH || t == VT_UNKNOWN || t == VT_ERROR || (t & VT_ARRAY);
  HRESULT hr = refused ? DISP_E_TYPEMISMATCH : VariantChangeType(&plain, &plain, 0, VT_BSTR);
  if (SUCCEEDED(hr)) out.assign(plain.bstrVal, SysStringLen(plain.bstrVal));
  VariantClear(&plain);
  return FAILED(hr) ? Mismatch(v) : S_OK;
}

HRESULT Args::IntFrom(const VARIANT* v, long& out) const {
  VARIANT plain;
  VariantInit(&plain);
  if (FAILED(VariantCopyInd(&plain, const_cast<VARIANT*>(v)))) return Mismatch(v);
  VARTYPE t = plain.vt;
  bool refused = t == VT_NULL || t == VT_DISPATCH || t == VT_UNKNOWN || t == VT_ERROR || (t & VT_ARRAY);
  HRESULT hr = refused ? DISP_E_TYPEMISMATCH : VariantChangeType(&plain, &plain, 0, VT_I4);
  if (SUCCEEDED(hr)) out = plain.lVal;
  VariantClear(&plain);
  return FAILED(hr) ? Mismatch(v) : S_OK;
}

HRESULT Args::Bool(size_t index, bool& out) const {
  const VARIANT* v = Get(index);
  if (!v) return S_OK;
  VARIANT plain;
  VariantInit(&plain);
  if (FAILED(VariantCopyInd(&plain, const_cast<VARIANT*>(v)))) return Mismatch(v);
  VARTYPE t = plain.vt;
  bool refused = t == VT_NULL || t == VT_DISPATCH || t == VT_UNKNOWN || t == VT_ERROR || (t & VT_ARRAY);
  HRESULT hr = refused ? DISP_E_TYPEMISMATCH : VariantChangeType(&plain, &plain, 0, VT_BOOL);
  if (SUCCEEDED(hr)) out = plain.boolVal != VARIANT_FALSE;
  VariantClear(&plain);
  return FAILED(hr) ? Mismatch(v) : S_OK;
}

HRESULT Args::String(size_t index, std::wstring& out) const {
  const VARIANT* v = Get(index);
  return v ? StringFrom(v, out) : S_OK;
}

HRESULT Args::Int(size_t index, long& out) const {
  const VARIANT* v = Get(index);
  return v ? IntFrom(v, out) : S_OK;
}

DispatchObject::DispatchObject() { ObjectCreated(); }
DispatchObject::~DispatchObject() { ObjectDestroyed(); }

HRESULT DispatchObject::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG DispatchObject::AddRef() { return InterlockedIncrement(&refs_); }

ULONG DispatchObject::Release() {
  LONG left = InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return left;
}

HRESULT DispatchObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;  // Like the real thing reached late-bound: no type library is used.
  return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT DispatchObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids || count == 0) return E_INVALIDARG;
  HRESULT hr = TakeRejection() ? RPC_E_SERVERCALL_RETRYLATER : S_OK;
  const Member* found = nullptr;
  for (const auto& m : Members()) {
    if (SameName(m.name, names[0]) && !Unknown(m.name)) found = &m;
  }
  ids[0] = found ? found->id : DISPID_UNKNOWN;
  if (!found && hr == S_OK) hr = DISP_E_UNKNOWNNAME;
  for (UINT i = 1; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    for (size_t p = 0; found && p < found->params.size(); ++p) {
      if (SameName(found->params[p], names[i])) ids[i] = static_cast<DISPID>(p);
    }
    if (ids[i] == DISPID_UNKNOWN && hr == S_OK) hr = DISP_E_UNKNOWNNAME;
  }
  auto list = nlohmann::json::array();
  for (UINT i = 0; i < count; ++i) list.push_back(ToUtf8(names[i] ? names[i] : L""));
  LogLine("names").Str("object", ObjectName()).Add("names", std::move(list)).Num("hr", hr).Write();
  return hr;
}

HRESULT DispatchObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO* info, UINT* argErr) {
  g_lastActivity = GetTickCount64();
  const Member* member = nullptr;
  for (const auto& m : Members()) {
    if (m.id == id && !Unknown(m.name)) member = &m;
  }
  DISPPARAMS none{};
  if (!params) params = &none;

  Args args;
  args.params_ = params;
  HRESULT hr = S_OK;
  UINT named = params->cNamedArgs;
  UINT positional = params->cArgs - named;
  auto logged = nlohmann::json::array();
  auto addLogged = [&](nlohmann::json item) { logged.push_back(std::move(item)); };
  if (member) args.byParam_.assign(member->params.size(), nullptr);
  // Positional arguments sit at the end of rgvarg, the first one last.
  for (UINT i = 0; i < positional; ++i) {
    UINT index = params->cArgs - 1 - i;
    const VARIANT& v = params->rgvarg[index];
    addLogged(ArgJson(L"", static_cast<int>(i), v));
    if (!member) continue;
    if (i >= member->params.size()) {
      hr = DISP_E_BADPARAMCOUNT;
      continue;
    }
    if (!IsMissing(&v)) args.byParam_[i] = &v;
  }
  for (UINT k = named; k-- > 0;) {
    const VARIANT& v = params->rgvarg[k];
    DISPID which = params->rgdispidNamedArgs[k];
    if (which == DISPID_PROPERTYPUT) {
      addLogged(ArgJson(L"", -1, v));
      args.putValue_ = &v;
      args.putIndex_ = k;
      continue;
    }
    bool known = member && which >= 0 && static_cast<size_t>(which) < member->params.size();
    addLogged(ArgJson(known ? member->params[which] : L"?", static_cast<int>(which), v));
    if (!member) continue;
    if (!known || args.byParam_[which]) {
      if (argErr) *argErr = k;
      hr = DISP_E_PARAMNOTFOUND;
      continue;
    }
    if (!IsMissing(&v)) args.byParam_[which] = &v;
  }

  if (!member) hr = DISP_E_MEMBERNOTFOUND;
  if (TakeRejection()) hr = RPC_E_SERVERCALL_RETRYLATER;
  if (SUCCEEDED(hr)) {
    Settings settings = Current();
    if (!settings.hangMember.empty() && SameName(settings.hangMember.c_str(), member->name)) {
      LogEvent(L"hang", member->name);
      Sleep(settings.hangForever ? INFINITE : settings.hangSeconds * 1000);
    }
    if (!settings.dieMember.empty() && SameName(settings.dieMember.c_str(), member->name)) {
      LogEvent(L"die", member->name);
      TerminateProcess(GetCurrentProcess(), 3);
    }
    if (result) VariantInit(result);
    BeforeCall();
    hr = Call(*member, flags, args, result, info);
    if (hr == DISP_E_TYPEMISMATCH && argErr) *argErr = args.badArgument;
  }
  LogLine("call")
      .Str("object", ObjectName())
      .Str("member", member ? member->name : L"")
      .Num("dispid", id)
      .Num("flags", flags)
      .Add("args", std::move(logged))
      .Num("hr", hr)
      .Write();
  if (SUCCEEDED(hr)) AfterCall();
  return hr;
}

}  // namespace tavrolin::testbed
