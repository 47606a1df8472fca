// Where extraction may write. A member's name decides only the part of the output path below a
// folder the caller chose; that part may not be absolute, carry a drive or climb with "..", and
// it is walked one folder at a time without following links, so nothing outside the chosen
// folder is created, overwritten or reached. Limits: 4,095-byte paths, 255-byte names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "framework/base/owned.h"
#include "platform/system/fs.h"

namespace lumra::files {

// False (with the reason) for a name that is absolute, carries a drive, holds a ".." component
// ("\" and "/" both separate) or a control character below 32.
bool member_name_safe(std::string_view name);

// The folders of one extraction: the caller's folder and the member folders on the way to the one
// used last stay open (closed with the tree), so members of one folder cost one system call each
// to create, and moving to another folder opens only the components that differ. Of a deep path
// the handles kept are the deepest few and one every so many levels, so the open files stay few
// (about 50 at the deepest path the platform allows).
struct OutputTree {
  std::string root;  // the caller's folder root_fd stands for
  base::OwnedDescriptor root_fd;
  // Inside the framework's private temporary folder new files and folders are the owner's alone.
  sys::Access access = sys::Access::kDefault;
  std::vector<std::string> parts;              // member folders below the root, outermost first
  std::vector<base::OwnedDescriptor> handles;  // one per part; empty where not kept (never the last)
};

struct OutputFile {
  base::OwnedDescriptor fd;
  std::string leaf;  // name in the tree's current folder
  std::string path;  // for messages
  bool refused = false;  // the name or a link on the way was refused: never passed over
};

// Creates root/relative as a new file: missing folders are made (the root's as named, following
// links the caller put there; the member's part refusing any link), an old file under the name is
// replaced by a new one, never written through. A relative ending in a separator names a folder:
// it is made and out->fd stays empty. 1, or 0 with a reason; *no_space is set when the disk is
// full.
int output_create(OutputTree* tree, const std::string& root, std::string_view relative, OutputFile* out,
                  bool* no_space);
// Deletes a file output_create made (after a failure).
void output_discard(OutputTree* tree, OutputFile* file);

}  // namespace lumra::files
