#include "interface/object_context_guard.h"

#include <gtest/gtest.h>

#include "platform/complus/recording_object_context.h"

namespace {

using korvalis::complus::RecordingObjectContext;
using korvalis::complus::ScopedObjectContext;

TEST(ObjectContextGuard, LeavingArmedVotesAbortAndVotingDisarms) {
  RecordingObjectContext context;
  ScopedObjectContext installed(&context);
  { CObjectContextGuard armed(true); }
  EXPECT_EQ(context.votes(), "A");
  { CObjectContextGuard unarmed(false); }
  EXPECT_EQ(context.votes(), "A");
  {
    CObjectContextGuard guard(true);
    guard.SetComplete();
  }
  EXPECT_EQ(context.votes(), "AC");
  {
    CObjectContextGuard guard(true);
    EXPECT_EQ(guard.SetAbort(), S_OK);
  }
  EXPECT_EQ(context.votes(), "ACA");
  EXPECT_EQ(context.outside_references(), 1u);  // only the installation holds it now
}

TEST(ObjectContextGuard, WithoutAContextNothingIsVoted) {
  CObjectContextGuard guard(true);
  guard.SetComplete();
  EXPECT_EQ(guard.SetAbort(), S_OK);
}

}  // namespace
