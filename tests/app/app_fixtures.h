// Helpers for the window tests: a data directory with fixture modules and stores, and the
// application object started on it offscreen.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "tests/support/fixtures.h"

namespace vellum::ui {
class TMainApp;
}

namespace vellum::test {

// A data directory holding the 66-book fixture "kjv.bib" ("King James Version", with Strong's
// numbers in Genesis 1:1 and John 3:16) and a small second translation "web.bib" ("World
// English Bible", without Strong's numbers: Genesis 1:1-2, 2:1 and John 1:1, 2:1, 3:1-2).
class AppData {
 public:
  AppData();
  const TempDir& dir() const { return dir_; }
  std::string path() const { return dir_.path().string(); }

 private:
  TempDir dir_;
};

// Waits (processing events) until the predicate holds or the time runs out.
bool waitFor(const std::function<bool()>& done, int milliseconds = 5000);

}  // namespace vellum::test
