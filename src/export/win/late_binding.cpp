#include "export/win/late_binding.h"

#include <cstdio>
#include <deque>

#include "common/text.h"
#include "common/win/system_error.h"

namespace tavrolin::win {
namespace {

bool IsBusy(HRESULT hr) { return hr == RPC_E_SERVERCALL_RETRYLATER || hr == RPC_E_CALL_REJECTED; }

std::wstring Hex(HRESULT hr) {
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

// Clears an EXCEPINFO's strings when destroyed.
class ExcepInfo {
 public:
  ExcepInfo() = default;
  ~ExcepInfo() { Clear(); }
  ExcepInfo(const ExcepInfo&) = delete;
  ExcepInfo& operator=(const ExcepInfo&) = delete;
  EXCEPINFO* get() { return &info_; }
  // Word's own description, filled in first when the server deferred it.
  std::wstring Description();
  // A server may give its own error number in wCode instead; automation clients read that as
  // FACILITY_CONTROL's HRESULT, as Word's own scodes are.
  HRESULT Code() const {
    if (info_.scode != 0 || info_.wCode == 0) return info_.scode;
    return static_cast<HRESULT>(0x800A0000u | info_.wCode);
  }
  void Clear();

 private:
  EXCEPINFO info_{};
};

std::wstring ExcepInfo::Description() {
  if (info_.pfnDeferredFillIn) {
    info_.pfnDeferredFillIn(&info_);
    info_.pfnDeferredFillIn = nullptr;
  }
  return info_.bstrDescription ? std::wstring(info_.bstrDescription, SysStringLen(info_.bstrDescription))
                               : std::wstring();
}

void ExcepInfo::Clear() {
  if (info_.bstrSource) SysFreeString(info_.bstrSource);
  if (info_.bstrDescription) SysFreeString(info_.bstrDescription);
  if (info_.bstrHelpFile) SysFreeString(info_.bstrHelpFile);
  info_ = EXCEPINFO{};
}

std::wstring MemberName(const std::wstring& member) {
  return member.empty() ? L"(default member)" : member;
}

// The arguments of one attempt, as DISPPARAMS wants them: in reverse order, named ones first.
class ArgPack {
 public:
  explicit ArgPack(const std::vector<Arg>& args) : variants_(args.size()) {
    const std::size_t n = args.size();
    for (std::size_t i = 0; i < n; ++i) Fill(args[n - 1 - i], *variants_[i].get());
  }
  VARIANTARG* data() { return variants_.empty() ? nullptr : variants_[0].get(); }

 private:
  void Fill(const Arg& arg, VARIANT& v) {
    switch (arg.type) {
      case ArgType::Bstr:
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocStringLen(arg.text.data(), static_cast<UINT>(arg.text.size()));
        break;
      case ArgType::BstrByRef:
        targets_.emplace_back(arg.text);
        v.vt = VT_BYREF | VT_BSTR;
        v.pbstrVal = targets_.back().Address();
        break;
      case ArgType::I2:
        v.vt = VT_I2;
        v.iVal = static_cast<SHORT>(arg.number);
        break;
      case ArgType::I4:
        v.vt = VT_I4;
        v.lVal = arg.number;
        break;
      case ArgType::Bool:
        v.vt = VT_BOOL;
        v.boolVal = arg.number ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    }
  }

  // Variant is exactly one VARIANT, so the vector's storage is the array DISPPARAMS points at.
  std::vector<Variant> variants_;
  std::deque<Bstr> targets_;  // stable addresses for by-reference strings
};
static_assert(sizeof(Variant) == sizeof(VARIANT));

}  // namespace

std::wstring DescribeFailure(HRESULT hr, const std::wstring& serverDescription, const CallBounds& bounds) {
  if (!serverDescription.empty()) return serverDescription;
  switch (hr) {
    case RPC_E_SERVERCALL_RETRYLATER:
    case RPC_E_CALL_REJECTED:
      return L"Word was busy and refused the call for " + SecondsText(bounds.busyRetrySeconds) + L".";
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE:
    case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED):
      return L"Word closed unexpectedly (" + Hex(hr) + L").";
    case REGDB_E_CLASSNOTREG:
    case CO_E_CLASSSTRING:
      return L"Word is not installed: its automation class is not registered (" + Hex(hr) + L").";
    case MK_E_UNAVAILABLE:
      return L"No running instance was found (" + Hex(hr) + L").";
    default:
      break;
  }
  const std::wstring text = SystemMessage(static_cast<DWORD>(hr));
  return (text.empty() ? L"The call failed" : text) + L" (" + Hex(hr) + L").";
}


namespace {

// The error of a call that failed: the name Word did not know, else the server's own description.
AutomationError CallError(const std::wstring& member, HRESULT hr, const std::vector<std::wstring>& names,
                          const std::vector<DISPID>& ids, ExcepInfo& info, const CallBounds& bounds) {
  if (hr == DISP_E_UNKNOWNNAME) {
    for (std::size_t i = 0; i < ids.size(); ++i) {
      if (ids[i] != DISPID_UNKNOWN) continue;
      AutomationError unknown(MemberName(member), i == 0 ? L"Word does not know this member."
                                                         : L"Word does not know its argument \"" + names[i] + L"\".");
      unknown.SetCode(static_cast<std::int32_t>(hr));
      return unknown;
    }
  }
  const bool exception = hr == DISP_E_EXCEPTION;
  const HRESULT reported = exception && FAILED(info.Code()) ? info.Code() : hr;
  AutomationError error(MemberName(member), DescribeFailure(reported, exception ? info.Description() : L"", bounds),
                        IsBusy(reported));
  error.SetCode(static_cast<std::int32_t>(reported));
  return error;
}

}  // namespace

void InvokeByName(IDispatch* object, const std::wstring& member, WORD flags, const std::vector<Arg>& args,
                  VARIANT* result, const CallBounds& bounds, AttemptClock& clock) {
  const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
  std::size_t positional = 0;
  while (positional < args.size() && args[positional].name.empty()) ++positional;
  for (std::size_t i = positional; i < args.size(); ++i) {
    if (args[i].name.empty() && !put) {
      throw AutomationError(MemberName(member), L"A positional argument follows a named one.");
    }
  }
  // One look-up for the member and every argument name.
  std::vector<std::wstring> names = {member};
  if (!put) {
    for (std::size_t i = positional; i < args.size(); ++i) names.push_back(args[i].name);
  }
  std::vector<LPOLESTR> namePointers;
  for (auto& name : names) namePointers.push_back(name.data());
  const UINT named = put ? 1 : static_cast<UINT>(args.size() - positional);

  std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
  HRESULT hr = S_OK;
  ExcepInfo info;
  const auto attempt = [&] {
    std::fill(ids.begin(), ids.end(), DISPID_UNKNOWN);
    info.Clear();
    hr = S_OK;
    if (member.empty()) {
      ids[0] = DISPID_VALUE;
    } else {
      hr = object->GetIDsOfNames(IID_NULL, namePointers.data(), static_cast<UINT>(namePointers.size()),
                                 LOCALE_USER_DEFAULT, ids.data());
    }
    if (SUCCEEDED(hr)) {
      ArgPack pack(args);
      // rgvarg[j] holds args[n-1-j]; the named ones are the first `named` slots.
      std::vector<DISPID> namedIds(named);
      for (UINT j = 0; j < named; ++j) {
        namedIds[j] = put ? DISPID_PROPERTYPUT : ids[1 + (args.size() - 1 - j - positional)];
      }
      DISPPARAMS params{pack.data(), named ? namedIds.data() : nullptr, static_cast<UINT>(args.size()), named};
      UINT argError = 0;
      if (result) VariantClear(result);
      hr = object->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, info.get(), &argError);
    }
    return IsBusy(hr);
  };
  RetryWhileBusy(bounds, clock, attempt, [](double seconds) { Sleep(static_cast<DWORD>(seconds * 1000)); });
  if (SUCCEEDED(hr)) return;
  throw CallError(member, hr, names, ids, info, bounds);
}

LateBound::LateBound(ComPtr<IDispatch> object, std::shared_ptr<CallRunner> runner, CallBounds bounds)
    : object_(std::make_shared<ComRef>(std::move(object), runner)), runner_(std::move(runner)), bounds_(bounds) {}

std::wstring LateBound::GetString(const std::wstring& member) {
  const CallBounds bounds = bounds_;
  return runner_->Run<std::wstring>(MemberName(member), bounds, [object = object_, member, bounds](AttemptClock& clock) {
    Variant value;
    InvokeByName(object->get(), member, DISPATCH_PROPERTYGET, {}, value.get(), bounds, clock);
    VARIANT* v = value.get();
    const VARTYPE type = v->vt;
    const bool refused = type == VT_DISPATCH || type == VT_UNKNOWN || type == VT_ERROR || type == VT_NULL ||
                         (type & VT_ARRAY) != 0;
    if (refused || FAILED(VariantChangeType(v, v, 0, VT_BSTR))) {
      throw AutomationError(MemberName(member), L"Word gave no text for it.");
    }
    return v->bstrVal ? std::wstring(v->bstrVal, SysStringLen(v->bstrVal)) : std::wstring();
  });
}

namespace {

ComPtr<IDispatch> ObjectOf(VARIANT* v, const std::wstring& member) {
  ComPtr<IDispatch> result;
  if ((v->vt == VT_DISPATCH || v->vt == VT_UNKNOWN) && v->punkVal) {
    v->punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(result.Out()));
  }
  if (!result) throw AutomationError(MemberName(member), L"Word gave no object for it.");
  return result;
}

}  // namespace

std::unique_ptr<Dispatch> LateBound::GetDispatch(const std::wstring& member) {
  return ObjectCall(member, DISPATCH_PROPERTYGET, {});
}

std::unique_ptr<Dispatch> LateBound::CallForObject(const std::wstring& member, const std::vector<Arg>& args) {
  return ObjectCall(member, DISPATCH_METHOD, args);
}

std::unique_ptr<Dispatch> LateBound::ObjectCall(const std::wstring& member, WORD flags, const std::vector<Arg>& args) {
  const CallBounds bounds = bounds_;
  auto found = runner_->Run<ComPtr<IDispatch>>(
      MemberName(member), bounds, [object = object_, member, flags, args, bounds](AttemptClock& clock) {
        Variant value;
        InvokeByName(object->get(), member, flags, args, value.get(), bounds, clock);
        return ObjectOf(value.get(), member);
      });
  return std::make_unique<LateBound>(std::move(found), runner_, bounds_);
}

void LateBound::Put(const std::wstring& member, const Arg& value) {
  const CallBounds bounds = bounds_;
  runner_->Run<bool>(MemberName(member), bounds, [object = object_, member, value, bounds](AttemptClock& clock) {
    InvokeByName(object->get(), member, DISPATCH_PROPERTYPUT, {value}, nullptr, bounds, clock);
    return true;
  });
}

void LateBound::CallMethod(const std::wstring& member, const std::vector<Arg>& args) {
  const CallBounds bounds = bounds_;
  runner_->Run<bool>(MemberName(member), bounds, [object = object_, member, args, bounds](AttemptClock& clock) {
    Variant ignored;
    InvokeByName(object->get(), member, DISPATCH_METHOD, args, ignored.get(), bounds, clock);
    return true;
  });
}

void LateBound::CallMethodAlongside(const std::wstring& member, const std::vector<Arg>& args,
                                    const std::function<void(const std::function<bool()>&)>& meanwhile) {
  const CallBounds bounds = bounds_;
  runner_->RunAlongside<bool>(
      MemberName(member), bounds,
      [object = object_, member, args, bounds](AttemptClock& clock) {
        Variant ignored;
        InvokeByName(object->get(), member, DISPATCH_METHOD, args, ignored.get(), bounds, clock);
        return true;
      },
      meanwhile);
}

std::unique_ptr<Dispatch> ComAutomation::CreateObject(const std::wstring& progId) {
  return CreateObjectAlongside(progId, nullptr);
}

std::unique_ptr<Dispatch> ComAutomation::CreateObjectAlongside(const std::wstring& progId,
                                                               const std::function<void()>& meanwhile) {
  const CallBounds bounds = runner_->bounds();
  std::function<ComPtr<IDispatch>(AttemptClock&)> create = [progId, bounds](AttemptClock& clock) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId.c_str(), &clsid);
    ComPtr<IDispatch> object;
    if (SUCCEEDED(hr)) {
      clock.Start();
      hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(object.Out()));
      // Wine can hand a single-use server's class object to two clients starting at once and
      // the second gets E_NOINTERFACE; and it keeps the class of a server ended before anyone
      // took it (a Word given up while starting), so the next creation reaches that dead one;
      // and it answers E_NOINTERFACE after 30 one-second looks for a class not yet registered.
      // Asking again starts a server of its own. Windows answers neither for Word's IDispatch,
      // so there the retry cannot fire. Never once the creation was given up (its Word ended):
      // that server would be nobody's.
      if ((hr == E_NOINTERFACE || hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE)) && !clock.GivenUp()) {
        object.Reset();
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(object.Out()));
      }
      clock.Stop();
    }
    if (FAILED(hr) || !object) {
      throw AutomationError(progId, hr == CO_E_SERVER_EXEC_FAILURE
                                        ? L"Word could not be started (" + Hex(hr) + L")."
                                        : DescribeFailure(FAILED(hr) ? hr : E_NOINTERFACE, L"", bounds));
    }
    return object;
  };
  CallRunner::Meanwhile alongside;
  if (meanwhile) alongside = [&meanwhile](const std::function<bool()>&) { meanwhile(); };
  auto created = runner_->RunAlongside<ComPtr<IDispatch>>(progId, bounds, std::move(create), alongside);
  return std::make_unique<LateBound>(std::move(created), runner_, bounds);
}

std::unique_ptr<Dispatch> ComAutomation::RunningObject(const std::wstring& progId, const CallBounds& bounds) {
  auto running = runner_->Run<ComPtr<IDispatch>>(progId, bounds, [progId, bounds](AttemptClock& clock) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId.c_str(), &clsid);
    ComPtr<IUnknown> unknown;
    ComPtr<IDispatch> object;
    clock.Start();
    if (SUCCEEDED(hr)) hr = GetActiveObject(clsid, nullptr, unknown.Out());
    if (SUCCEEDED(hr)) hr = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object.Out()));
    unknown.Reset();
    clock.Stop();
    if (FAILED(hr) || !object) {
      throw AutomationError(progId, DescribeFailure(FAILED(hr) ? hr : E_NOINTERFACE, L"", bounds));
    }
    return object;
  });
  return std::make_unique<LateBound>(std::move(running), runner_, bounds);
}

}  // namespace tavrolin::win
