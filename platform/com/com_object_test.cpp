#include "platform/com/com_object.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/com/class_factory.h"
#include "platform/com/module_lock.h"
#include "platform/com/sample_shapes_test.h"

namespace korvalis::com {
namespace {

using testing::CShapes;
using testing::IShapes;
using testing::kIShapesInfo;

// An outer object that aggregates CShapes and forwards IShapes to it.
class Outer final : public IUnknown {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    return inner->QueryInterface(riid, ppv);
  }
  ULONG AddRef() override { return ++references; }
  ULONG Release() override { return --references; }

  IUnknown* inner = nullptr;
  ULONG references = 1;
};

TEST(ComObject, QueryInterfaceFollowsTheMapWithOneIdentity) {
  IShapes* shapes = nullptr;
  ASSERT_EQ((CreateComInstance<CShapes, Aggregation::kRefused>(nullptr, kIShapesInfo.iid,
                                                                reinterpret_cast<void**>(&shapes))),
            S_OK);
  EXPECT_EQ(testing::shapes_alive, 1);
  IUnknown* unknown1 = nullptr;
  IUnknown* unknown2 = nullptr;
  IDispatch* dispatch = nullptr;
  ISupportErrorInfo* support = nullptr;
  ASSERT_EQ(shapes->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown1)), S_OK);
  ASSERT_EQ(shapes->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown2)), S_OK);
  EXPECT_EQ(unknown1, unknown2);
  ASSERT_EQ(shapes->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)),
            S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(kIShapesInfo.iid), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);

  void* missing = &missing;
  EXPECT_EQ(shapes->QueryInterface(IID_IClassFactory, &missing), E_NOINTERFACE);
  EXPECT_EQ(missing, nullptr);
  EXPECT_EQ(shapes->QueryInterface(IID_IDispatch, nullptr), E_POINTER);

  for (IUnknown* u : {static_cast<IUnknown*>(dispatch), unknown1, unknown2,
                      static_cast<IUnknown*>(support)}) {
    u->Release();
  }
  EXPECT_EQ(testing::shapes_alive, 1);
  EXPECT_EQ(shapes->Release(), 0u);
  EXPECT_EQ(testing::shapes_alive, 0);
}

TEST(ComObject, CreationRefusesBadRequestsWithANullResult) {
  Outer outer;
  void* result = &result;
  EXPECT_EQ((CreateComInstance<CShapes, Aggregation::kRefused>(nullptr, IID_IUnknown, nullptr)),
            E_POINTER);
  EXPECT_EQ((CreateComInstance<CShapes, Aggregation::kRefused>(&outer, IID_IUnknown, &result)),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(result, nullptr);
  result = &result;
  EXPECT_EQ(
      (CreateComInstance<CShapes, Aggregation::kSupported>(&outer, kIShapesInfo.iid, &result)),
      CLASS_E_NOAGGREGATION);
  EXPECT_EQ(result, nullptr);
  result = &result;
  EXPECT_EQ((CreateComInstance<CShapes, Aggregation::kRefused>(nullptr, IID_IClassFactory,
                                                                &result)),
            E_NOINTERFACE);
  EXPECT_EQ(result, nullptr);
  EXPECT_EQ(testing::shapes_alive, 0);  // the object made for a refused interface is gone
}

TEST(ComObject, AggregatedObjectDelegatesToTheOuterObject) {
  Outer outer;
  ASSERT_EQ((CreateComInstance<CShapes, Aggregation::kSupported>(
                &outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner))),
            S_OK);
  int32_t locks = ModuleLockCount();
  IShapes* shapes = nullptr;
  ASSERT_EQ(outer.QueryInterface(kIShapesInfo.iid, reinterpret_cast<void**>(&shapes)), S_OK);
  EXPECT_EQ(outer.references, 2u);  // the inner interface counts on the outer object

  // QueryInterface through the inner interface reaches the outer identity.
  IUnknown* identity = nullptr;
  ASSERT_EQ(shapes->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  EXPECT_EQ(identity, &outer);
  identity->Release();
  shapes->Release();
  EXPECT_EQ(outer.references, 1u);

  EXPECT_EQ(outer.inner->Release(), 0u);
  EXPECT_EQ(testing::shapes_alive, 0);
  EXPECT_EQ(ModuleLockCount(), locks - 1);
}

TEST(ComObject, ReferenceCountIsSafeAcrossThreads) {
  IShapes* shapes = nullptr;
  ASSERT_EQ((CreateComInstance<CShapes, Aggregation::kRefused>(nullptr, kIShapesInfo.iid,
                                                                reinterpret_cast<void**>(&shapes))),
            S_OK);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([shapes] {
      for (int i = 0; i < 20000; ++i) {
        shapes->AddRef();
        shapes->Release();
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(shapes->Release(), 0u);
  EXPECT_EQ(testing::shapes_alive, 0);
}

TEST(ClassFactory, CreatesInstancesAndLocksTheModuleWhileHeld) {
  int32_t base = ModuleLockCount();
  ClassFactory* factory = ClassFactory::Create(&CreateComInstance<CShapes, Aggregation::kRefused>);
  EXPECT_EQ(ModuleLockCount(), base);  // the owner's reference does not lock
  IClassFactory* client = nullptr;
  ASSERT_EQ(factory->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&client)), S_OK);
  EXPECT_EQ(ModuleLockCount(), base + 1);

  IShapes* shapes = nullptr;
  ASSERT_EQ(client->CreateInstance(nullptr, kIShapesInfo.iid, reinterpret_cast<void**>(&shapes)),
            S_OK);
  EXPECT_EQ(ModuleLockCount(), base + 2);
  shapes->Release();
  EXPECT_EQ(client->LockServer(1), S_OK);
  EXPECT_EQ(ModuleLockCount(), base + 2);
  EXPECT_EQ(client->LockServer(0), S_OK);
  client->Release();
  EXPECT_EQ(ModuleLockCount(), base);
  factory->Release();
}

}  // namespace
}  // namespace korvalis::com
