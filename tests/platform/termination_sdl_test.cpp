// The termination service beside SDL, which turns SIGINT and SIGTERM into a quit event where no
// other handler is installed: installed first, the service keeps the signals through SDL's start
// and end; installed after SDL, it takes them over. Either way a signal is recorded for the
// program's loops and no quit event (the window's close request) comes of it.
#include <SDL.h>
#include <gtest/gtest.h>
#include <signal.h>

#include "platform/system/termination.h"

namespace lumra::sys {
namespace {

using Handler = void (*)(int);

Handler handler_of(int sig) {
  struct sigaction a {};
  sigaction(sig, nullptr, &a);
  return a.sa_handler;
}

bool quit_pending() {
  SDL_PumpEvents();
  return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_QUIT, SDL_QUIT) > 0;
}

class TerminationWithSdl : public ::testing::Test {
 protected:
  void SetUp() override { SDL_setenv("SDL_VIDEODRIVER", "dummy", 1); }
  void TearDown() override {
    release_termination_signals();
    SDL_Quit();
  }
};

TEST_F(TerminationWithSdl, InstalledFirstItKeepsTheSignals) {
  ASSERT_TRUE(catch_termination_signals(30));
  const Handler ours = handler_of(SIGINT);
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  EXPECT_EQ(handler_of(SIGINT), ours);
  EXPECT_EQ(handler_of(SIGTERM), ours);
  raise(SIGINT);
  EXPECT_EQ(termination_signal(), SIGINT);
  EXPECT_FALSE(quit_pending());
  SDL_Quit();
  EXPECT_EQ(handler_of(SIGINT), ours) << "SDL puts back only its own handler";
}

TEST_F(TerminationWithSdl, InstalledAfterSdlItTakesTheSignalsOver) {
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  const Handler sdls = handler_of(SIGTERM);
  ASSERT_NE(sdls, SIG_DFL) << "SDL handles SIGTERM while its events run";
  ASSERT_TRUE(catch_termination_signals(30));
  EXPECT_NE(handler_of(SIGTERM), sdls);
  raise(SIGTERM);
  EXPECT_EQ(termination_signal(), SIGTERM);
  EXPECT_FALSE(quit_pending());
}

}  // namespace
}  // namespace lumra::sys
