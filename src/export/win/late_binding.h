#pragma once
#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <vector>

#include "common/event_pump.h"
#include "export/win/com_types.h"
#include "export/word_automation.h"

namespace tavrolin::win {

// How long a rejected call is retried and how long one call may take, in seconds.
struct CallBounds {
  double busyRetrySeconds = 60;
  double callSeconds = 120;
};

// The text that explains a failed call: the server's EXCEPINFO description when it gave one,
// else a clear sentence for the HRESULT.
std::wstring DescribeFailure(HRESULT hr, const std::wstring& serverDescription,
                             const CallBounds& bounds);

// The late-bound caller: member and argument names resolved with one GetIDsOfNames call,
// arguments passed in reverse order, DISPID_PROPERTYPUT for puts, fixed variant types. Calls that
// the server rejects as busy are retried (pumping events between tries) within the bound; every
// failure throws AutomationError with the member's name and the server's own description.
class LateBound final : public Dispatch {
 public:
  LateBound(ComPtr<IDispatch> object, EventPump& pump, CallBounds bounds);

  std::wstring GetString(const std::wstring& member) override;
  std::unique_ptr<Dispatch> GetDispatch(const std::wstring& member) override;
  void Put(const std::wstring& member, const Arg& value) override;
  void CallMethod(const std::wstring& member, const std::vector<Arg>& args) override;

  // One call; `result` may be null. An empty member is the default member (DISPID_VALUE).
  void Invoke(const std::wstring& member, WORD flags, const std::vector<Arg>& args,
              VARIANT* result);

 private:
  ComPtr<IDispatch> object_;
  EventPump& pump_;
  CallBounds bounds_;
};

// Creates and finds automation objects through COM.
class ComAutomation final : public Automation {
 public:
  ComAutomation(EventPump& pump, CallBounds bounds) : pump_(pump), bounds_(bounds) {}
  std::unique_ptr<Dispatch> CreateObject(const std::wstring& progId) override;
  std::unique_ptr<Dispatch> RunningObject(const std::wstring& progId) override;

 private:
  EventPump& pump_;
  CallBounds bounds_;
};

}  // namespace tavrolin::win
