#pragma once
#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <vector>

#include "export/call_runner.h"
#include "common/win/com_types.h"
#include "export/word_automation.h"

namespace tavrolin::win {

// The text that explains a failed call: the server's EXCEPINFO description when it gave one,
// else a clear sentence for the HRESULT.
std::wstring DescribeFailure(HRESULT hr, const std::wstring& serverDescription,
                             const CallBounds& bounds);

// One call on the calling thread: member and argument names resolved with one GetIDsOfNames
// call, arguments passed in reverse order (named ones first), DISPID_PROPERTYPUT for puts,
// fixed variant types. A call the server rejects as busy is tried again every quarter second
// for `bounds.busyRetrySeconds` in all. Throws AutomationError with the member's name and the
// server's own description. An empty member is the default member (DISPID_VALUE).
void InvokeByName(IDispatch* object, const std::wstring& member, WORD flags,
                  const std::vector<Arg>& args, VARIANT* result, const CallBounds& bounds,
                  AttemptClock& clock);

// A reference that is let go of on the call thread.
class ComRef {
 public:
  ComRef(ComPtr<IDispatch> object, std::shared_ptr<CallRunner> runner)
      : object_(std::move(object)), runner_(std::move(runner)) {}
  ~ComRef() {
    runner_->Release([object = std::make_shared<ComPtr<IDispatch>>(std::move(object_))] { object->Reset(); });
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  IDispatch* get() const { return object_.get(); }

 private:
  ComPtr<IDispatch> object_;
  std::shared_ptr<CallRunner> runner_;
};

// The late-bound caller: every call runs on the runner's thread, bounded, while the UI thread
// processes its events.
class LateBound final : public Dispatch {
 public:
  LateBound(ComPtr<IDispatch> object, std::shared_ptr<CallRunner> runner, CallBounds bounds);

  std::wstring GetString(const std::wstring& member) override;
  std::unique_ptr<Dispatch> GetDispatch(const std::wstring& member) override;
  void Put(const std::wstring& member, const Arg& value) override;
  void CallMethod(const std::wstring& member, const std::vector<Arg>& args) override;
  std::unique_ptr<Dispatch> CallForObject(const std::wstring& member, const std::vector<Arg>& args) override;
  void CallMethodAlongside(const std::wstring& member, const std::vector<Arg>& args,
                           const std::function<void(const std::function<bool()>&)>& meanwhile) override;
  void Limit(const CallBounds& bounds) override { bounds_ = bounds; }

 private:
  std::unique_ptr<Dispatch> ObjectCall(const std::wstring& member, WORD flags, const std::vector<Arg>& args);

  std::shared_ptr<ComRef> object_;
  std::shared_ptr<CallRunner> runner_;
  CallBounds bounds_;
};

// Creates and finds automation objects through COM.
class ComAutomation final : public Automation {
 public:
  explicit ComAutomation(std::shared_ptr<CallRunner> runner) : runner_(std::move(runner)) {}
  std::unique_ptr<Dispatch> CreateObject(const std::wstring& progId) override;
  std::unique_ptr<Dispatch> CreateObjectAlongside(const std::wstring& progId,
                                                  const std::function<void()>& meanwhile) override;
  std::unique_ptr<Dispatch> RunningObject(const std::wstring& progId, const CallBounds& bounds) override;

 private:
  std::shared_ptr<CallRunner> runner_;
};

}  // namespace tavrolin::win
