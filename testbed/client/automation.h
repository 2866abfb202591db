#pragma once
// A small late-bound caller for the testbed's own tests and for staging Word in other tests:
// names resolved with one GetIDsOfNames, arguments passed in reverse order, EXCEPINFO kept.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <deque>
#include <string>
#include <vector>

namespace tavrolin::testbed {

// Arguments of one call, positional ones (empty name) first. Owns the strings it makes.
class ArgList {
 public:
  ArgList() = default;
  ~ArgList();
  ArgList(const ArgList&) = delete;
  ArgList& operator=(const ArgList&) = delete;

  ArgList& Str(const std::wstring& name, const std::wstring& text);
  ArgList& StrByRef(const std::wstring& name, const std::wstring& text);
  ArgList& I2(const std::wstring& name, short value);
  ArgList& I4(const std::wstring& name, long value);
  ArgList& Bool(const std::wstring& name, bool value);
  // Takes ownership of `value` (VariantClear at the end).
  ArgList& Raw(const std::wstring& name, const VARIANT& value);

  struct Item {
    std::wstring name;
    VARIANT value;
  };
  const std::vector<Item>& Items() const { return items_; }

 private:
  std::vector<Item> items_;
  std::deque<BSTR> byRefTargets_;  // stable addresses for VT_BYREF
};

struct CallResult {
  HRESULT hr = E_FAIL;
  VARIANT value{};        // owned: cleared by the destructor
  std::wstring source;    // from EXCEPINFO
  std::wstring description;
  HRESULT scode = S_OK;
  UINT argErr = 0;

  CallResult() { VariantInit(&value); }
  ~CallResult() { VariantClear(&value); }
  CallResult(const CallResult&) = delete;
  CallResult& operator=(const CallResult&) = delete;
  CallResult(CallResult&& other) noexcept;

  std::wstring Text() const;           // the value as a string ("" unless VT_BSTR)
  IDispatch* TakeObject();              // the VT_DISPATCH value, caller releases
};

// `flags`: DISPATCH_METHOD, DISPATCH_PROPERTYGET or DISPATCH_PROPERTYPUT (last argument is the
// value, given with an empty name).
CallResult Call(IDispatch* object, const std::wstring& member, WORD flags, const ArgList& args);
CallResult Call(IDispatch* object, const std::wstring& member, WORD flags);
// The same with a known DISPID and no name look-up (for DISPID_VALUE).
CallResult CallId(IDispatch* object, DISPID id, WORD flags);

// A new stand-in through the ProgID, as the product creates Word.
HRESULT CreateWord(IDispatch** out);

}  // namespace tavrolin::testbed
