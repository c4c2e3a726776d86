// The remembered session in a hand-edited "VLMR20.INI" (the input is the file): readSession as
// the reader runs it at start, then writeSession of what it read, as at the next exit.
// - A record read is the whole value of its key, never one cut to the reader's buffer.
// - Every record read formats to a value that parses back to it.
// - What was written reads back as the same windows, renumbered from 1, with the same one
//   active.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/config.h"
#include "app/profile.h"
#include "app/session_record.h"
#include "fuzz/fuzz_common.h"

using namespace vellum;
using namespace vellum::ui;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::useScratchConfigDirectory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!fuzz::writeScratchFile("vellum/VLMR20.INI", data, size)) return 0;
  const StoredSession session = readSession();
  if (session.windows.size() > kMaxSessionWindows) std::abort();

  std::vector<SessionRecord> records;
  int active = 0;
  static std::vector<char> whole(8192);
  for (const StoredSession::Window& window : session.windows) {
    const std::string key = "WINDOW" + std::to_string(window.number);
    getPrivateProfileString("SESSION", key.c_str(), "", whole.data(), whole.size(), kIniFile);
    const std::optional<SessionRecord> full = parseSessionRecord(whole.data());
    if (!full || !(*full == window.record)) {
      std::fprintf(stderr, "%s is not read as the whole of \"%s\"\n", key.c_str(), whole.data());
      std::abort();
    }
    const std::optional<SessionRecord> again =
        parseSessionRecord(formatSessionRecord(window.record));
    if (!again || !(*again == window.record)) std::abort();
    records.push_back(window.record);
    if (window.number == session.active) active = static_cast<int>(records.size());
  }
  if (records.empty()) return 0;

  writeSession(records, active);
  const StoredSession reread = readSession();
  bool same = reread.windows.size() == records.size() && reread.active == active;
  for (std::size_t i = 0; same && i < records.size(); ++i)
    same = reread.windows[i].number == static_cast<int>(i) + 1 &&
           reread.windows[i].record == records[i];
  if (!same) {
    std::fprintf(stderr, "the session written reads back as %zu windows, not %zu\n",
                 reread.windows.size(), records.size());
    std::abort();
  }
  return 0;
}
