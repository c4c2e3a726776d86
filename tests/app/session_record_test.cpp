// The remembered session's records: what a window's value holds, and what is refused.
#include "app/session_record.h"

#include <QtTest>

using namespace vellum::ui;

class SessionRecordTest : public QObject {
  Q_OBJECT

 private slots:
  void recordsRoundTripAndDamagedOnesAreRefused() {
    SessionRecord record;
    record.file = "web, 2nd.bib";
    record.reference = {42, 3, 16};
    record.selectionAnchor = 3;
    record.selectionEnd = 9;
    record.strongs = true;
    record.x = -20;
    record.width = 640;
    record.height = 480;
    record.state = 1;
    const std::string text = formatSessionRecord(record);
    QCOMPARE(text, std::string("42,3,16,3,9,-1,1,-20,0,640,480,1,web, 2nd.bib"));
    QVERIFY(parseSessionRecord(text) == record);
    // Damaged: eleven numbers, no file, a book past 255, state 3, a path; a carriage return or a
    // blank at the end of the file name could not be written back, so the window was lost.
    for (const char* text :
         {"1,1,1,-1,-1,-1,0,0,0,1,1,kjv.bib", "1,1,1,-1,-1,-1,0,0,0,1,1,0,",
          "256,1,1,-1,-1,-1,0,0,0,1,1,0,kjv.bib", "1,1,1,-1,-1,-1,0,0,0,1,1,3,kjv.bib",
          "1,1,1,-1,-1,-1,0,0,0,1,1,0,../kjv.bib", "1,1,1,-1,-1,-1,0,0,0,1,1,0,kjv.bib\rx",
          "1,1,1,-1,-1,-1,0,0,0,1,1,0,web "})
      QVERIFY2(!parseSessionRecord(text).has_value(), text);
  }
};

QTEST_MAIN(SessionRecordTest)
#include "session_record_test.moc"
