#include "suite/testing/sibling_doubles.h"

#include <stdlib.h>

#include <cstring>
#include <deque>
#include <map>
#include <mutex>

#include "foundation/calls/emr_error.h"
#include "foundation/text/string_util.h"
#include "foundation/suite/suite_interfaces.h"
#include "platform/com/bstr.h"
#include "platform/com/class_factory.h"
#include "platform/com/registry.h"
#include "platform/text/unicode.h"
#include "suite/testing/double_classes.h"

namespace korvalis::suite::testing {
namespace {

using com::MakeGuid;

struct DoubleEntry {
  const IID* iid;
  CLSID clsid;
};

constexpr DoubleEntry kDoubleClasses[] = {
    {&IID_ISuiteRegistry, CLSID_SuiteRegistry},
    {&IID_IDateTimeService, MakeGuid("9B9636EF-F2C5-4E3E-B43A-9739D136ED3A")},
    {&IID_ISecurityService, MakeGuid("0596A6D1-E714-4ACE-8032-844C8A4A38D0")},
    {&IID_IUserProperty, MakeGuid("D822E102-1F4F-4C52-A884-B24D79F38EB5")},
    {&IID_IHISDepartment, MakeGuid("09FA917D-DCFD-4D42-88FE-FCC13B405BC6")},
    {&IID_IHISHospital, MakeGuid("A1BFD497-4FF9-470E-8915-F29E02B7362B")},
    {&IID_IDictionaryService, MakeGuid("0F8AB4C4-DEAC-48B1-9C49-F316A0240113")},
    {&IID_IHISPatientInfo, MakeGuid("4338D34E-F689-4677-ACA6-3D75E7B36EFF")},
    {&IID_IHISClinicInfo, MakeGuid("1831DC40-E7E7-462C-AC59-BE258317F147")},
    {&IID_INoticeService, MakeGuid("BC39ECB9-A035-439C-AFAA-C52A240ADDC2")},
    {&IID_IWorkListService, MakeGuid("523CC4FA-AC5B-4673-A803-54C7ABC04FED")},
    {&IID_IRecordPlan, MakeGuid("37C0DD38-8A8E-4AC3-A317-8E70687993E1")},
    {&IID_IServerDateTime, MakeGuid("8D8FF9FB-2222-4208-8E38-E5FBA1378ECE")},
    {&IID_IWorkListParam, MakeGuid("460A464F-239D-4130-97D3-40917D0A6446")},
    {&IID_IVisitData, MakeGuid("4BC6B2D7-0ED9-4426-98EE-E8D53A8C60BA")},
};

// Orders the script's keys: interface, then slot.
struct SlotLess {
  bool operator()(const std::pair<GUID, int>& a, const std::pair<GUID, int>& b) const {
    return std::memcmp(&a.first, &b.first, sizeof(GUID)) < 0 ||
           (a.first == b.first && a.second < b.second);
  }
};

const std::string kModulePath = KORVALIS_SIBLING_DOUBLES_MODULE;

}  // namespace

struct DoubleScript::State {
  std::mutex mutex;
  // Each answer with whether a call has used it; a used answer stays only while it is the last.
  std::map<std::pair<GUID, int>, std::deque<std::pair<SiblingAnswer, bool>>, SlotLess> answers;
  std::vector<SiblingCall> calls;
  std::u16string interface_list = SiblingDoubles::DefaultInterfaceList();
};

DoubleScript::DoubleScript() : state_(new State) {}

void DoubleScript::Reset() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->answers.clear();
  state_->calls.clear();
  state_->interface_list = SiblingDoubles::DefaultInterfaceList();
}

void DoubleScript::Queue(const IID& iid, int slot, SiblingAnswer answer) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->answers[{iid, slot}].emplace_back(std::move(answer), false);
}

void DoubleScript::SetInterfaceList(std::u16string list) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->interface_list = std::move(list);
}

std::optional<SiblingAnswer> DoubleScript::Take(const IID& iid, int slot,
                                                std::vector<std::u16string> args) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->calls.push_back({iid, slot, std::move(args)});
  auto found = state_->answers.find({iid, slot});
  if (found == state_->answers.end() || found->second.empty()) {
    if (iid == IID_ISuiteRegistry && slot == 7) return SiblingAnswer{S_OK, state_->interface_list, std::nullopt};
    return std::nullopt;
  }
  std::deque<std::pair<SiblingAnswer, bool>>& queue = found->second;
  while (queue.size() > 1 && queue.front().second) queue.pop_front();
  SiblingAnswer answer = queue.front().first;
  queue.front().second = true;
  if (queue.size() > 1) queue.pop_front();
  return answer;
}

std::vector<SiblingCall> DoubleScript::Calls(const IID& iid) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  std::vector<SiblingCall> calls;
  for (const SiblingCall& call : state_->calls) {
    if (iid == GUID_NULL || call.iid == iid) calls.push_back(call);
  }
  return calls;
}

void DoubleScript::ClearCalls() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->calls.clear();
}

HRESULT DoubleScript::Reply(const IID& iid, int slot, std::vector<std::u16string> args,
                            BSTR* out) {
  std::optional<SiblingAnswer> answer = Take(iid, slot, std::move(args));
  if (!answer) answer = SiblingAnswer{S_OK, u"", std::nullopt};
  if (answer->error_description) CEMRRemoteError().SetError(*answer->error_description);
  if (out != nullptr && answer->text) *out = AllocBstr(*answer->text);
  return answer->result;
}

HRESULT DoubleScript::ReplyFlag(const IID& iid, int slot, std::vector<std::u16string> args,
                                VARIANT_BOOL* out) {
  std::optional<SiblingAnswer> answer = Take(iid, slot, std::move(args));
  if (!answer) answer = SiblingAnswer{S_OK, u"0", std::nullopt};
  if (answer->error_description) CEMRRemoteError().SetError(*answer->error_description);
  if (out != nullptr && answer->text) {
    *out = *answer->text == u"1" || *answer->text == u"-1" ? VARIANT_TRUE : VARIANT_FALSE;
  }
  return answer->result;
}

HRESULT DoubleScript::ReplyInOut(const IID& iid, int slot, std::vector<std::u16string> args,
                                 BSTR* in_out) {
  std::optional<SiblingAnswer> answer = Take(iid, slot, std::move(args));
  if (!answer) return S_OK;
  if (answer->error_description) CEMRRemoteError().SetError(*answer->error_description);
  if (in_out != nullptr && answer->text) {
    SysFreeString(*in_out);
    *in_out = AllocBstr(*answer->text);
  }
  return answer->result;
}

HRESULT GetDoubleClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  for (const DoubleEntry& c : kDoubleClasses) {
    if (c.clsid != rclsid) continue;
    com::ClassFactory* factory = com::ClassFactory::Create(DoubleCreator(*c.iid));
    if (factory == nullptr) return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

SiblingDoubles::SiblingDoubles()
    : directory_("korvalis-doubles"), registry_path_(directory_.path() + "/registry") {
  if (const char* saved = std::getenv("KORVALIS_REGISTRY")) saved_registry_ = saved;
  ::setenv("KORVALIS_REGISTRY", registry_path_.c_str(), 1);
  Script().Reset();
  for (const DoubleEntry& c : kDoubleClasses) Register(c.clsid);
}

SiblingDoubles::~SiblingDoubles() {
  Script().Reset();
  if (saved_registry_) {
    ::setenv("KORVALIS_REGISTRY", saved_registry_->c_str(), 1);
  } else {
    ::unsetenv("KORVALIS_REGISTRY");
  }
}

void SiblingDoubles::Answer(const IID& iid, int slot, SiblingAnswer answer) {
  Script().Queue(iid, slot, std::move(answer));
}

void SiblingDoubles::Answer(const IID& iid, int slot, std::u16string text) {
  Script().Queue(iid, slot, SiblingAnswer{S_OK, std::move(text), std::nullopt});
}

void SiblingDoubles::Fail(const IID& iid, int slot, HRESULT result,
                          std::optional<std::u16string> error_description) {
  Script().Queue(iid, slot, SiblingAnswer{result, std::nullopt, std::move(error_description)});
}

std::u16string SiblingDoubles::DefaultInterfaceList() {
  std::u16string list = u"<list>";
  for (const DoubleEntry& c : kDoubleClasses) {
    if (c.iid == &IID_ISuiteRegistry) continue;
    list += u"<interface iid=\"" + ToUpperAscii(GuidToString(*c.iid)) + u"\" clsid=\"" +
            ToUpperAscii(GuidToString(c.clsid)) + u"\"/>";
  }
  return list + u"</list>";
}

void SiblingDoubles::SetInterfaceList(std::u16string list) {
  Script().SetInterfaceList(std::move(list));
}

void SiblingDoubles::Unregister(const CLSID& clsid) {
  com::RegistryFile(registry_path_).Update([&](com::RegistryKey& root) {
    if (com::RegistryKey* classes = root.Find(u"CLSID")) {
      classes->RemoveSubkey(GuidToRegistryString(clsid));
    }
    return S_OK;
  });
}

void SiblingDoubles::Register(const CLSID& clsid) {
  com::RegistryFile(registry_path_).Update([&](com::RegistryKey& root) {
    com::RegistryKey& server =
        root.Create(u"CLSID\\" + GuidToRegistryString(clsid) + u"\\InprocServer32");
    server.SetValue(u"", FromUtf8(kModulePath));
    server.SetValue(u"ThreadingModel", u"Both");
    return S_OK;
  });
}

CLSID SiblingDoubles::DoubleClass(const IID& iid) {
  for (const auto& c : kDoubleClasses) {
    if (*c.iid == iid) return c.clsid;
  }
  return GUID_NULL;
}

std::vector<SiblingCall> SiblingDoubles::Calls(const IID& iid) const {
  return Script().Calls(iid);
}

void SiblingDoubles::ClearCalls() { Script().ClearCalls(); }

}  // namespace korvalis::suite::testing
