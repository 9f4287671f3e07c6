// What a format's portable operations ask of the library layer that runs
// them: the overwrite question, a new name, and the progress the owner
// window is sent. Each library's entry layer answers them its own way.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace arc {

// Steps of the common interface's progress record.
enum ProgressStep : int { kBegin = 0, kInProcess = 1, kEnd = 2 };

class OpHost {
 public:
  enum class Overwrite { Yes, No, All, Cancel };
  virtual ~OpHost() = default;
  virtual Overwrite ask_overwrite(const std::string& path) { return Overwrite::No; }
  // A new name for an entry or folder; nothing when cancelled.
  virtual std::optional<std::string> ask_new_name(const std::string& current) { return std::nullopt; }
  // Whether anyone takes the progress, so that work done only for it (a
  // file's size while packing) can be left out.
  virtual bool watching() const { return false; }
  // One step with the entry's size and the bytes written so far, in bytes;
  // true when the watcher asked to stop.
  virtual bool progress(int mode, uint64_t size, uint64_t written, const std::string& source,
                        const std::string& dest) {
    return false;
  }
};

}  // namespace arc
