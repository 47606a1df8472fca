// Temporary folders of a desktop program that unpacks documents: the temporary path, a private
// base folder that another user cannot squat or plant links in, unpack folders that are locked
// while their run lives, and the sweep that removes those a killed run left behind. Part of the
// system interface (platform/system/*.h), implemented once per operating system
// (platform/posix/temp.cpp). Nothing here follows a symbolic link it did not make.
//
// The sequence a viewer follows:
//   std::string base;                                       // 1. private base folder
//   if (!make_private_base_folder(temp_path() + "/LumraVRviewer", &base, &why)) -> exit 1, why
//   sweep_unpack_folders(base.c_str(), "LVR");              // 2. left-overs of killed runs
//   files::temp_file_name(base.c_str(), "LVR", 0, &name);   // 3. exclusive name (framework)
//   remove_file(name.c_str());                              // 4. the name's file goes ...
//   make_unpack_folder(name.c_str(), &unpack, &why);        // 5. ... and becomes a locked folder
//   ... unpack, run ...
//   remove_unpack_folder(&unpack);                          // 6. clean-up
#pragma once

#include <string>

#include "platform/system/fs.h"

namespace lumra::sys {

// The user's temporary path ending in "/": $TMPDIR when it is an absolute path naming a folder,
// else "/tmp/". Other users may share it.
std::string temp_path();

// Makes `folder` this user's private folder and gives the folder used in *used. `folder` is
// created with access for its owner alone (0700); an existing one is used only when it is a real
// folder (not a link), owned by this user, and its access is then set to 0700. When `folder`
// exists and is not usable (another user's, a link, a file), `folder` + "-" + the user id (see
// user_tag) is tried under the same rules. false when neither can be used, with both reasons in
// *reason (one line).
bool make_private_base_folder(const std::string& folder, std::string* used, std::string* reason);

// An unpack folder of this run: created, open and locked (an exclusive flock on the folder
// itself) until remove_unpack_folder or the end of the process. While it is locked no sweep of
// any process removes it. Also the folder the termination service removes when the program does
// not end by itself after a termination signal (platform/system/termination.h).
struct UnpackFolder {
  std::string path;
  Descriptor folder = kNoDescriptor;  // open and locked
  Descriptor parent = kNoDescriptor;  // the folder it stands in, open

  UnpackFolder() = default;
  UnpackFolder(UnpackFolder&& other) noexcept;
  UnpackFolder& operator=(UnpackFolder&& other) noexcept;
  UnpackFolder(const UnpackFolder&) = delete;
  UnpackFolder& operator=(const UnpackFolder&) = delete;
  // Closes (and so unlocks) without removing anything; the termination service keeps the folder
  // until another make_unpack_folder or remove_unpack_folder.
  ~UnpackFolder();
};

// Creates the folder `path` (nothing may stand under the name: a name taken since it was chosen
// fails with is_taken) with access for its owner alone, opens and locks it, and registers it with
// the termination service. A lock the file system cannot give (some network file systems) is
// not a failure: such a folder is simply never swept.
Status make_unpack_folder(const char* path, UnpackFolder* out);

// Removes the unpack folder with everything in it, never following a link, while still holding
// the lock; then unlocks, closes and unregisters it. false when something could not be removed
// (the rest is gone; the folder stays for a later sweep). Calling it on a removed or never-made
// folder does nothing and gives true.
bool remove_unpack_folder(UnpackFolder* folder);

struct SweepResult {
  int removed = 0;  // left-over folders removed
  int kept = 0;     // folders of the kind that were locked, too young, or could not go
};

// Removes the left-over unpack folders in `base`: folders (not links) named `prefix` + one to
// eight upper-case hexadecimal digits + ".tmp", owned by this user, whose lock nobody holds and
// that were last modified more than a minute ago. The minute covers the moment between a run
// making its folder and locking it. Nothing else in `base` is touched: other names (a browser
// profile folder ending in ".tm"), files, links. Only what is inside a swept folder is removed,
// with links removed as links.
SweepResult sweep_unpack_folders(const char* base, const char* prefix);

// Whether `name` is the name of an unpack folder made with `prefix` (the sweep's test).
bool is_unpack_folder_name(const char* name, const char* prefix);

// Removes `path` with everything in it, never following a link (a link standing as `path` is
// removed itself). true when nothing is left under the name.
bool remove_tree(const char* path);

}  // namespace lumra::sys
