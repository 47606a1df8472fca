// Launch: resolve the program, split the argument text, start it (with pipes and a process group
// of its own when an output function is given) and hand over to the watch loop when asked to wait.
#include "framework/process/launcher.h"

#include <string>
#include <vector>

#include "framework/base/error.h"
#include "framework/process/launcher_internal.h"

namespace lumra::process {

using base::fail;
using base::failf;

int32_t launch(const char* program, const char* arguments, int32_t show_mode, int32_t terminate_on_abort,
               OutputFunction output, void* data, int32_t wait, uint32_t* process_id) {
  // There are no window show codes for a child here: its own windows show as it decides.
  static_cast<void>(show_mode);
  if (!program || *program == '\0') return fail("no program to launch");
  std::string path;
  if (const sys::Status s = sys::find_program(program, &path); !sys::ok(s)) {
    return failf("program %s not found", program);
  }
  std::vector<std::string> argv = sys::split_arguments(arguments);
  argv.insert(argv.begin(), path);

  sys::SpawnOptions options;
  options.capture = wait && output;
  options.own_group = output != nullptr;
  sys::ChildStreams streams;
  uint32_t id = 0;
  if (const sys::Status s = sys::spawn(path.c_str(), argv, options, &id, &streams); !sys::ok(s)) {
    return failf("cannot start %s: %s", path.c_str(), sys::describe(s));
  }
  LaunchContext c{};
  c.process.reset(id);
  c.process_id = id;
  c.function = output;
  c.data = data;
  c.input.write_end.reset(streams.input);
  c.output.read_end.reset(streams.output);
  c.output.write_end.reset(streams.output_writer);
  c.error.read_end.reset(streams.error);
  pipe_lines_start(&c.output.lines, Stream::kOutput);
  pipe_lines_start(&c.error.lines, Stream::kError);
  if (process_id) *process_id = id;
  if (!wait) return 1;
  return watch(&c, terminate_on_abort != 0);
}

int32_t still_running(uint32_t process_id) { return sys::still_running(process_id) ? 1 : 0; }

}  // namespace lumra::process
