#pragma once
// A late-bound object without a type library: members and their parameters are resolved by
// name (case-insensitive), arguments bound by position or name, every call logged.
#include <windows.h>
#include <oleauto.h>

#include <optional>
#include <string>
#include <vector>

namespace tavrolin::testbed {

struct Member {
  const wchar_t* name;
  DISPID id;
  std::vector<const wchar_t*> params;
};

// The arguments of one call, bound to parameter positions.
class Args {
 public:
  // The argument for parameter `index`, or null when it was not given (or given as "missing").
  const VARIANT* Get(size_t index) const;
  // The argument given for a property put.
  const VARIANT* PutValue() const { return putValue_; }

  // Coercions as the automation runtime would do them; DISP_E_TYPEMISMATCH (with the offending
  // argument recorded) when the value cannot become that type.
  HRESULT String(size_t index, std::wstring& out) const;
  HRESULT Int(size_t index, long& out) const;
  HRESULT Bool(size_t index, bool& out) const;
  HRESULT StringFrom(const VARIANT* v, std::wstring& out) const;
  HRESULT IntFrom(const VARIANT* v, long& out) const;

  UINT badArgument = 0;  // index into rgvarg of the argument that failed a coercion

 private:
  friend class DispatchObject;
  std::vector<const VARIANT*> byParam_;
  std::vector<UINT> rgIndex_;
  const VARIANT* putValue_ = nullptr;
  UINT putIndex_ = 0;
  HRESULT Mismatch(const VARIANT* v) const;
  const DISPPARAMS* params_ = nullptr;
};

// Fills EXCEPINFO the way Word reports its errors and returns DISP_E_EXCEPTION.
HRESULT WordError(EXCEPINFO* info, long code, const std::wstring& description);
// The same with a run-time error's own HRESULT as its scode.
HRESULT WordErrorCode(EXCEPINFO* info, HRESULT scode, const std::wstring& description);

// Process-wide count of live objects: the embedded server ends when it drops to zero.
void ObjectCreated();
// From now on, the last object going away posts WM_QUIT to `thread` (the embedded server).
void EndWhenUnused(DWORD thread);
// The message filter rejected the incoming call. Wine lets a call through even when the filter
// answers SERVERCALL_RETRYLATER, so the call itself then fails with RPC_E_SERVERCALL_RETRYLATER,
// which is what the caller sees on Windows.
void MarkCallRejected();
// When the last automation call arrived (GetTickCount64), for the unused-server watchdog.
ULONGLONG LastActivity();
void ObjectDestroyed();

class DispatchObject : public IDispatch {
 public:
  DispatchObject();
  virtual ~DispatchObject();
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* info, UINT* argErr) override;

 protected:
  virtual const wchar_t* ObjectName() const = 0;
  virtual const std::vector<Member>& Members() const = 0;
  virtual HRESULT Call(const Member& member, WORD flags, const Args& args, VARIANT* result, EXCEPINFO* info) = 0;
  // Runs after a successful call has been logged, so effects it starts come after it in the log.
  virtual void AfterCall() {}
  // Runs before each call is carried out (what the instance does between calls).
  virtual void BeforeCall() {}

 private:
  LONG refs_ = 1;
};

}  // namespace tavrolin::testbed
