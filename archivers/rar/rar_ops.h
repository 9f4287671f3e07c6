// What the RAR library does with the entry its reader stands on, apart from
// its entry layer: test it, or extract it below a folder (stored data, and
// the redirections of RAR 5). Portable; the entry layer hands each block of
// data to its caller and shows the notes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "fsio.h"
#include "rar.h"

namespace rar {

// Each block of the entry's data as it is tested or written; false stops.
// Empty: nobody takes the data.
using DataSink = std::function<bool(const uint8_t* p, size_t n)>;
// Why an entry (or volume) by that name went wrong, for the log.
using Note = std::function<void(const std::string& name, const std::string& why)>;

// Whether the stand-in can deliver the entry's data: folders, and stored
// entries that are neither encrypted nor continued from a volume before.
bool decodable(const Entry& e);

// The current entry e, read from r; answers 0 or an ERAR code.
int test_entry(Reader& r, const Entry& e, const DataSink& data, const Note& note);
// Below destPath by its stored path, or at destName when one is given. The
// placer lasts the whole walk, so that the folders it made stay known.
int extract_entry(Reader& r, const Entry& e, fsio::Placer& placer, const std::string& destPath,
                  const std::string& destName, const DataSink& data, const Note& note);

}  // namespace rar
