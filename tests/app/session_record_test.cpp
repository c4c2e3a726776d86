// The remembered session's records: what a window's value holds, and what is refused.
#include "app/session_record.h"

#include <QtTest>

using namespace vellum::ui;

class SessionRecordTest : public QObject {
  Q_OBJECT

 private slots:
  void recordFormatsAndParsesBack() {
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
  }

  void damagedRecordsAreRefused_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("eleven numbers") << QByteArray("1,1,1,-1,-1,-1,0,0,0,1,1,kjv.bib");
    QTest::newRow("no file") << QByteArray("1,1,1,-1,-1,-1,0,0,0,1,1,0,");
    QTest::newRow("book past 255") << QByteArray("256,1,1,-1,-1,-1,0,0,0,1,1,0,kjv.bib");
    QTest::newRow("state 3") << QByteArray("1,1,1,-1,-1,-1,0,0,0,1,1,3,kjv.bib");
    QTest::newRow("a path") << QByteArray("1,1,1,-1,-1,-1,0,0,0,1,1,0,../kjv.bib");
    // A carriage return inside the value was read into the file name, which then could not be
    // written back: the session saved at exit lost the window.
    QTest::newRow("carriage return") << QByteArray("1,1,1,-1,-1,-1,0,0,0,1,1,0,kjv.bib\rx");
    // A NUL after a blank in the value left a file name ending in that blank, which the
    // trimmed value written back dropped.
    QTest::newRow("blank at the end") << QByteArray("1,1,1,-1,-1,-1,0,0,0,1,1,0,web ");
  }
  void damagedRecordsAreRefused() {
    QFETCH(QByteArray, text);
    QVERIFY(!parseSessionRecord(text.toStdString()).has_value());
  }
};

QTEST_MAIN(SessionRecordTest)
#include "session_record_test.moc"
