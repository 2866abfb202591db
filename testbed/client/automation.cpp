#include "testbed/client/automation.h"

namespace tavrolin::testbed {

ArgList::~ArgList() {
  for (auto& item : items_) {
    if (!(item.value.vt & VT_BYREF)) VariantClear(&item.value);
  }
  for (BSTR b : byRefTargets_) SysFreeString(b);
}

ArgList& ArgList::Raw(const std::wstring& name, const VARIANT& value) {
  items_.push_back({name, value});
  return *this;
}

ArgList& ArgList::Str(const std::wstring& name, const std::wstring& text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return Raw(name, v);
}

ArgList& ArgList::StrByRef(const std::wstring& name, const std::wstring& text) {
  byRefTargets_.push_back(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_BSTR;
  v.pbstrVal = &byRefTargets_.back();
  items_.push_back({name, v});
  return *this;
}

ArgList& ArgList::I2(const std::wstring& name, short value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I2;
  v.iVal = value;
  return Raw(name, v);
}

ArgList& ArgList::I4(const std::wstring& name, long value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return Raw(name, v);
}

ArgList& ArgList::Bool(const std::wstring& name, bool value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return Raw(name, v);
}

CallResult::CallResult(CallResult&& other) noexcept
    : hr(other.hr), value(other.value), source(std::move(other.source)),
      description(std::move(other.description)), scode(other.scode), argErr(other.argErr) {
  VariantInit(&other.value);
}

std::wstring CallResult::Text() const {
  if (value.vt != VT_BSTR || !value.bstrVal) return {};
  return std::wstring(value.bstrVal, SysStringLen(value.bstrVal));
}

IDispatch* CallResult::TakeObject() {
  if (value.vt != VT_DISPATCH) return nullptr;
  IDispatch* object = value.pdispVal;
  VariantInit(&value);
  return object;
}

namespace {

CallResult Invoke(IDispatch* object, DISPID member, const std::vector<DISPID>& namedIds, WORD flags,
                  const ArgList& args) {
  CallResult result;
  const auto& items = args.Items();
  // rgvarg holds the last argument first, and rgdispidNamedArgs[j] names rgvarg[j]: named
  // arguments come last in `items`, so their ids go in reverse.
  std::vector<VARIANT> rgvarg;
  for (size_t i = items.size(); i-- > 0;) rgvarg.push_back(items[i].value);
  std::vector<DISPID> rgNamed(namedIds.rbegin(), namedIds.rend());
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) rgNamed.insert(rgNamed.begin(), DISPID_PROPERTYPUT);
  DISPPARAMS params{};
  params.rgvarg = rgvarg.empty() ? nullptr : rgvarg.data();
  params.cArgs = static_cast<UINT>(rgvarg.size());
  params.rgdispidNamedArgs = rgNamed.empty() ? nullptr : rgNamed.data();
  params.cNamedArgs = static_cast<UINT>(rgNamed.size());
  EXCEPINFO info{};
  result.hr = object->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result.value, &info,
                             &result.argErr);
  if (result.hr == DISP_E_EXCEPTION) {
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    result.scode = info.scode;
    if (info.bstrSource) result.source = info.bstrSource;
    if (info.bstrDescription) result.description = info.bstrDescription;
  }
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  return result;
}

}  // namespace

CallResult Call(IDispatch* object, const std::wstring& member, WORD flags, const ArgList& args) {
  std::vector<std::wstring> names = {member};
  for (const auto& item : args.Items()) {
    if (!item.name.empty()) names.push_back(item.name);
  }
  std::vector<LPOLESTR> pointers;
  for (auto& n : names) pointers.push_back(n.data());
  std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
  HRESULT hr = object->GetIDsOfNames(IID_NULL, pointers.data(), static_cast<UINT>(pointers.size()),
                                     LOCALE_USER_DEFAULT, ids.data());
  if (FAILED(hr)) {
    CallResult failed;
    failed.hr = hr;
    return failed;
  }
  return Invoke(object, ids[0], std::vector<DISPID>(ids.begin() + 1, ids.end()), flags, args);
}

CallResult Call(IDispatch* object, const std::wstring& member, WORD flags) {
  ArgList none;
  return Call(object, member, flags, none);
}

CallResult CallId(IDispatch* object, DISPID id, WORD flags) {
  ArgList none;
  return Invoke(object, id, {}, flags, none);
}

HRESULT CreateWord(IDispatch** out) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(L"Word.Application", &clsid);
  if (FAILED(hr)) return hr;
  return CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(out));
}

}  // namespace tavrolin::testbed
