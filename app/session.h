// The reading session: the Bible windows open at exit, remembered in "VLMR20.INI" and opened
// again at the next start (session_record.h has the records).
#pragma once

namespace vellum::ui {

class TMyMDIClient;

// Writes the client's Bible windows as the session (none: the section goes).
void saveSession(const TMyMDIClient& client);
// Opens the remembered windows. A record that does not read, or whose translation is gone or
// does not hold its passage, is skipped. Returns whether any window was opened.
bool restoreSession(TMyMDIClient& client);

}  // namespace vellum::ui
