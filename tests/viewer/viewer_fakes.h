// Stand-ins for the viewer's services on the headless backend: a browser whose process "runs"
// for a set time of the virtual clock, a launcher, a link opener and a file dialog that record
// what they were asked.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "framework/input/periodic.h"
#include "platform/headless/headless.h"
#include "viewer/services.h"

namespace lumra::viewer::testing {

struct FakeWorld {
  int browser_result = sys::kBrowserFound;
  std::string program = "/usr/bin/firefox";
  std::string program_target;
  bool launch_works = true;
  uint32_t browser_runs_ms = 0;  // how long the browser's process lives after its launch
  ChoiceResult choice = ChoiceResult::kChosen;
  std::string chosen;
  std::function<void(const std::string& arguments)> on_launch;  // runs while the browser "runs"

  // Observed.
  std::vector<std::string> pages;
  std::vector<std::string> launches;  // "program|arguments"
  uint32_t launched_at = 0;
  std::vector<uint32_t> checks;  // virtual times of the still-running tests
  std::vector<std::string> links;
  int dialogs = 0;
};

inline FakeWorld g_world;

// The virtual clock moves only in waits; a loop that polls between waits would see time stand
// still. One millisecond per pass of the mouse poll stands for the time a real pass takes.
inline void let_passes_take_time() {
  input::register_periodic(1, [](intptr_t) -> int32_t {
    platform::headless::advance(1);
    return 1;
  }, nullptr, 0);
}

inline const ViewerServices& fake_services() {
  static const ViewerServices services{
      [](const char* page, sys::BrowserCommand* out) {
        g_world.pages.push_back(page);
        if (g_world.browser_result <= 32) return g_world.browser_result;
        out->program = g_world.program;
        out->program_target = g_world.program_target.empty() ? g_world.program : g_world.program_target;
        out->arguments = {page};
        out->page_argument = 0;
        return g_world.browser_result;
      },
      [](const char* program, const char* arguments, uint32_t* process) -> int32_t {
        g_world.launches.push_back(std::string(program) + "|" + arguments);
        g_world.launched_at = platform::headless::now();
        if (!g_world.launch_works) return 0;
        if (g_world.on_launch) g_world.on_launch(arguments);
        *process = 4242;
        return 1;
      },
      [](uint32_t process) -> int32_t {
        const uint32_t now = platform::headless::now();
        g_world.checks.push_back(now);
        return process == 4242 && now - g_world.launched_at < g_world.browser_runs_ms;
      },
      [](const char* url) { g_world.links.push_back(url); },
      [](std::string* path, std::string*) {
        ++g_world.dialogs;
        *path = g_world.chosen;
        return g_world.choice;
      }};
  return services;
}

}  // namespace lumra::viewer::testing
