#include "platform/complus/object_context.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/complus/recording_object_context.h"

namespace korvalis::complus {
namespace {

TEST(ObjectContext, NoneByDefault) {
  void* context = &context;
  EXPECT_EQ(CoGetObjectContext(IID_IObjectContext, &context), CONTEXT_E_NOCONTEXT);
  EXPECT_EQ(context, nullptr);
  EXPECT_EQ(CoGetObjectContext(IID_IObjectContext, nullptr), E_POINTER);
}

TEST(ObjectContext, InstalledPerThreadAndRestoredInOrder) {
  RecordingObjectContext outer_context;
  RecordingObjectContext inner_context;
  {
    ScopedObjectContext outer(&outer_context);
    {
      ScopedObjectContext inner(&inner_context);
      IObjectContext* context = nullptr;
      ASSERT_EQ(CoGetObjectContext(IID_IObjectContext, reinterpret_cast<void**>(&context)), S_OK);
      EXPECT_EQ(context, &inner_context);
      context->SetComplete();
      context->Release();

      // Another thread runs outside any context.
      HRESULT other = S_OK;
      std::thread([&other] {
        void* none = nullptr;
        other = CoGetObjectContext(IID_IObjectContext, &none);
      }).join();
      EXPECT_EQ(other, CONTEXT_E_NOCONTEXT);
    }
    IObjectContext* context = nullptr;
    ASSERT_EQ(CoGetObjectContext(IID_IObjectContext, reinterpret_cast<void**>(&context)), S_OK);
    EXPECT_EQ(context, &outer_context);
    context->SetAbort();
    context->Release();
    void* wrong = &wrong;
    EXPECT_EQ(CoGetObjectContext(IID_IObjectConstruct, &wrong), E_NOINTERFACE);
    EXPECT_EQ(wrong, nullptr);
    {
      ScopedObjectContext none(nullptr);
      void* context_none = nullptr;
      EXPECT_EQ(CoGetObjectContext(IID_IObjectContext, &context_none), CONTEXT_E_NOCONTEXT);
    }
  }
  EXPECT_EQ(inner_context.votes(), "C");
  EXPECT_EQ(outer_context.votes(), "A");
  EXPECT_EQ(outer_context.outside_references(), 0u);
  EXPECT_EQ(inner_context.outside_references(), 0u);
  void* context = &context;
  EXPECT_EQ(CoGetObjectContext(IID_IObjectContext, &context), CONTEXT_E_NOCONTEXT);
}

}  // namespace
}  // namespace korvalis::complus
