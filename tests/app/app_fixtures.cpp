#include "tests/app/app_fixtures.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <string>
#include <vector>

#include "app/config.h"
#include "app/frame.h"
#include "app/main_app.h"
#include "app/profile.h"
#include "app/windows/passage.h"
#include "engine/stores/dict.h"
#include "support/files.h"
#include "tools/import/lexicon_writer.h"

namespace vellum::test {

std::string AppData::userFile(const std::string& name) const {
  return dir_.file("user-data/vellum/" + name);
}

AppData::AppData() {
  buildKjvFixture(dir_.path());
  buildModule(dir_.path(), "web.bib", "World English Bible",
              "Genesis\t1\t1\tIn the beginning, God created the heavens and the earth.\n"
              "Genesis\t1\t2\tThe earth was formless and empty.\n"
              "Genesis\t2\t1\tThe heavens, the earth, and all their vast array were finished.\n"
              "John\t1\t1\tIn the beginning was the Word, and the Word was with God.\n"
              "John\t2\t1\tThe third day, there was a wedding in Cana of Galilee.\n"
              "John\t3\t1\tNow there was a man of the Pharisees named Nicodemus.\n"
              "John\t3\t2\tFor God so loved the world, that he gave his one and only Son.\n");
}

namespace {

void writeStore(const char* name, const char* title,
                const std::vector<std::pair<std::string, std::string>>& items) {
  DictHandle* store = new_dict(name, title, 101, 1);
  QVERIFY2(store != nullptr, name);
  for (const auto& [key, text] : items)
    QVERIFY2(add_string_item(store, key.c_str(), text.c_str()), key.c_str());
  deinit_dict(store);
}

int pollerGeneration = 0;

QDialog* visibleDialog(const QString& name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible() && d->objectName() == name)
      return d;
  return nullptr;
}

// Tries every 30 ms until the attempt succeeds or the pollers are stopped.
void poll(std::function<bool()> attempt, int generation) {
  QTimer::singleShot(30, [attempt, generation] {
    if (generation == pollerGeneration && !attempt()) poll(attempt, generation);
  });
}

}  // namespace

void buildReferenceWorks(const std::filesystem::path& dir) {
  const std::string saved = get_dpath();
  set_dpath(dir.string().c_str());
  writeStore("eastons.dic", "Easton's Bible Dictionary",
             {{"Abraham",
               "Father of a multitude, son of Terah, kin of Moses.\nHis faith is "
               "praised in the New Testament: see 1 John 3:16 and Gen. 17:5."},
              {"Aaron", "The eldest son of Amram and Jochebed."},
              {"Moses", "Drawn out of the water."},
              {"Abraham's bosom", "The rest of the blessed dead."}});
  writeStore("hitchck.dic", "Hitchcock's Bible Names",
             {{"Abraham", "father of a great multitude"}, {"Moses", "taken out; drawn forth"}});
  writeStore("mhc.dic", "Matthew Henry's Commentary",
             {{"1:0", "The creation of the world."},
              {"50:0", "The death of Joseph."},
              {"3:42", "Christ's discourse with Nicodemus.\nVerses 1-8"}});
  set_dpath(saved.c_str());

  using import::LexiconEntry;
  std::vector<LexiconEntry> hebrew = {
      {1, "father", 1}, {430, "God", 2}, {7225, "beginning\nthe first, in place or time", 3}};
  std::vector<LexiconEntry> greek = {{1, "Alpha", 1}, {26, "love", 2}, {2316, "God", 3}};
  std::string error;
  QVERIFY2(import::writeLexicon(hebrew, greek, (dir / "lexicon.lex").string(), error),
           error.c_str());
}

void onDialog(const QString& name, std::function<void(QDialog*)> act, bool* seen) {
  poll(
      [name, act, seen] {
        QDialog* dialog = visibleDialog(name);
        if (!dialog) return false;
        *seen = true;
        act(dialog);
        if (dialog->isVisible()) dialog->reject();
        return true;
      },
      pollerGeneration);
}

bool runDialog(const QString& name, const std::function<bool()>& open,
               std::function<void(QDialog*)> act) {
  // The flag lives with the poller, which may outlast this call when the dialog never shows.
  const auto seen = std::make_shared<bool>(false);
  onDialog(
      name, [seen, act](QDialog* dialog) { act ? act(dialog) : void(); }, seen.get());
  return open() && waitFor([&seen] { return *seen; });
}

void answerMessageBox(QString* text) {
  poll(
      [text] {
        QMessageBox* box = visibleMessageBox();
        if (!box) return false;
        *text = box->text();
        box->accept();
        return true;
      },
      pollerGeneration);
}

void stopDialogPollers() { ++pollerGeneration; }

QMessageBox* visibleMessageBox() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
  return nullptr;
}

MessageBoxWatcher::MessageBoxWatcher() {
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (QMessageBox* box = visibleMessageBox()) {
      texts << box->text();
      captions << box->windowTitle();
      if (QAbstractButton* button = box->button(answer))
        button->click();
      else
        box->accept();
    }
  });
  timer_.start(20);
}

ImmutableFile::ImmutableFile(const std::filesystem::path& path) {
  fd_ = ::open(path.c_str(), O_RDONLY);
  int flags = 0;
  if (fd_ >= 0 && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
    original_ = flags;
    flags |= FS_IMMUTABLE_FL;
    effective_ = ::ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0;
  }
}

ImmutableFile::~ImmutableFile() {
  if (effective_) ::ioctl(fd_, FS_IOC_SETFLAGS, &original_);
  if (fd_ >= 0) ::close(fd_);
}

void forgetSettings() {
  std::error_code ignored;
  std::filesystem::remove(profilePath(kIniFile), ignored);
}

bool waitFor(const std::function<bool()>& done, int milliseconds) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > milliseconds) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

StartedProgram::StartedProgram(const std::string& dir, std::vector<std::string> arguments,
                               bool cancelEverySearch, bool keepSession) {
  qputenv("XDG_DATA_HOME", QFile::encodeName(QString::fromStdString(dir + "/user-data")));
  qputenv("XDG_DATA_DIRS", QFile::encodeName(QString::fromStdString(dir + "/no-shared-data")));
  if (!keepSession) writePrivateProfileString("SESSION", nullptr, nullptr, kIniFile);
  arguments_.push_back(dir + "/vellum");
  for (std::string& argument : arguments) arguments_.push_back(std::move(argument));
  for (std::string& argument : arguments_) argv_.push_back(argument.data());
  QObject::connect(&searchCanceller_, &QTimer::timeout, [this, cancelEverySearch] {
    if (QDialog* dialog = visibleDialog("3000")) {
      searchSeen = true;
      if (!cancelEverySearch) searchCanceller_.stop();
      dialog->reject();
    }
  });
  searchCanceller_.start(20);
  app = std::make_unique<ui::TMainApp>(static_cast<int>(argv_.size()), argv_.data());
  app->buildMainWindow();
}

StartedProgram::~StartedProgram() {
  searchCanceller_.stop();
  app.reset();
}

ui::TMyMDIFrame* StartedProgram::frame() const { return app->frame(); }
ui::TPassage* StartedProgram::passage() const { return app->activePassage(); }
BibleHandle* StartedProgram::module() const { return passage()->module(); }

QString StartedProgram::caption() const { return passage() ? passage()->windowTitle() : QString(); }

bool StartedProgram::ready() const {
  return searchSeen && passage() && passage()->hasText() && frame()->versesFound()->count() > 0;
}

}  // namespace vellum::test
