#include "tests/app/app_fixtures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace vellum::test {

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

}  // namespace vellum::test
