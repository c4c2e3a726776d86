// The topic dialogs on a topics store of their own.
#include "app/windows/topic_dlg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "engine/stores/dict.h"
#include "tests/app/app_fixtures.h"

using namespace vellum;
using namespace vellum::ui;

namespace {

void pressOk(QWidget* dialog) { test::child<QPushButton>(dialog, 1)->click(); }

struct Store {
  test::AppData data;
  test::Module module = test::openModule(data.dir().path(), "kjv.bib");
  test::Dict topics{new_dict("topics.dic", "Topics", 101, 0)};
  DictHandle* get() const { return topics.get(); }
  // The topic's stored references, three bytes each.
  std::string bytes(const char* name) const { return test::itemBytes(topics.get(), name); }
};

}  // namespace

class TopicDlgTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void topicsAreAddedRenamedAndDeleted() {
    Store store;
    test::MessageBoxWatcher boxes;
    {
      TAddTopicDlg dialog(nullptr, store.get(), store.module.get());
      dialog.show();
      dialog.name()->setText("   ");
      pressOk(&dialog);
      QVERIFY(dialog.isVisible());  // blank: nothing done
      dialog.name()->setText("Faith");
      pressOk(&dialog);
      QVERIFY(!dialog.isVisible());
      QVERIFY(writeTopic(store.get(), "Faith", {{42, 3, 16}}));
      QVERIFY(writeTopic(store.get(), "Hope", {{0, 1, 1}}));
      // Adding an existing name would empty it: refused, the topic kept.
      dialog.show();
      dialog.name()->setText("faith");
      pressOk(&dialog);
      QVERIFY(dialog.isVisible());
      QCOMPARE(boxes.texts.value(0), QString("There is already a topic named faith"));
      QCOMPARE(store.bytes("Faith").size(), std::size_t{3});
    }
    {
      TRenameTopicDlg dialog(nullptr, store.get(), store.module.get());
      dialog.show();
      dialog.topicList()->setCurrentIndex(dialog.topicList()->findText("Faith"));
      dialog.newName()->setText("HOPE");  // onto another topic: refused, both kept
      pressOk(&dialog);
      QVERIFY(dialog.isVisible());
      QCOMPARE(boxes.texts.value(1), QString("There is already a topic named HOPE"));
      QCOMPARE(store.bytes("Hope").size(), std::size_t{3});
      dialog.newName()->setText("Belief");
      pressOk(&dialog);
      QVERIFY(!dialog.isVisible());
    }
    QCOMPARE(store.bytes("Belief").size(), std::size_t{3});
    QVERIFY(!readTopic(store.get(), "Faith"));
    {
      TDeleteTopicDlg dialog(nullptr, store.get(), store.module.get());
      dialog.show();
      dialog.topicList()->setCurrentIndex(dialog.topicList()->findText("Hope"));
      boxes.answer = QMessageBox::No;
      pressOk(&dialog);
      QCOMPARE(boxes.texts.last(), QString("Are you sure you want to delete topic: Hope"));
      QVERIFY(readTopic(store.get(), "Hope"));
      boxes.answer = QMessageBox::Yes;
      pressOk(&dialog);
      QVERIFY(!dialog.isVisible());
    }
    QVERIFY(!readTopic(store.get(), "Hope") && readTopic(store.get(), "Belief"));
  }

  void versesAreInsertedInOrderOnceAndNotWhileTheStoreIsBusy() {
    Store store;
    test::MessageBoxWatcher boxes;
    TTopicInsertVerseDlg dialog(nullptr, store.get(), store.module.get(), {42, 3, 16});
    dialog.show();
    QTest::qWait(20);
    dialog.topicList()->setEditText("Salvation");  // a new topic, made by its first verse
    setLockWait(std::chrono::milliseconds(50));
    {
      const test::ForeignLock other(store.data.dir().file("topics.dic"), LockKind::exclusive);
      QVERIFY(other.held());
      pressOk(&dialog);
    }
    setLockWait(std::chrono::milliseconds(5000));
    QCOMPARE(boxes.texts.value(0),
             QString("topics.dic is being changed by another program; try again."));
    QVERIFY(!readTopic(store.get(), "Salvation"));
    pressOk(&dialog);
    QCOMPARE(boxes.texts.value(1), QString("John 3:16 has been added to Salvation"));
    QVERIFY(dialog.isVisible());
    dialog.bookList()->setCurrentIndex(1);
    dialog.chapterList()->setEditText("1");
    dialog.verseList()->setEditText("1");
    QTest::qWait(20);
    QVERIFY(dialog.verseText()->text().startsWith("Genesis 1:1"));
    pressOk(&dialog);
    pressOk(&dialog);  // again: nothing stored, nothing said
    QCOMPARE(boxes.texts.size(), 3);
    QCOMPARE(store.bytes("Salvation"), (std::string{0, 1, 1, 42, 3, 16}));
    QVERIFY(test::waitFor([&] { return dialog.focusWidget() == dialog.bookList(); }));

    // Long topics are read whole: inserting into one of 2000 references keeps them all.
    std::vector<Reference> many;
    for (int i = 0; i < 2000; ++i)
      many.push_back(
          {std::uint8_t(1 + i / 100), std::uint8_t(1 + i % 100 / 50), std::uint8_t(1 + i % 50)});
    QVERIFY(writeTopic(store.get(), "Many", many));
    TTopicInsertVerseDlg insert(nullptr, store.get(), store.module.get(), {0, 1, 1}, "Many");
    insert.show();
    QCOMPARE(insert.topicList()->currentText(), QString("Many"));
    pressOk(&insert);
    QCOMPARE(store.bytes("Many").substr(0, 4), (std::string{0, 1, 1, 1}));
    QCOMPARE(store.bytes("Many").size(), std::size_t{2001 * 3});
  }

  void versesAreDeletedWithTheSelectionKept() {
    Store store;
    // Genesis 1:2, 1:3, a book beyond the module, John 3:16 and a partial record.
    const std::uint8_t bytes[] = {0, 1, 2, 0, 1, 3, 90, 2, 3, 42, 3, 16, 7, 7};
    QVERIFY(add_binary_item(store.get(), "Love", bytes, sizeof bytes));
    TTopicDeleteVerseDlg dialog(nullptr, store.get(), store.module.get());
    dialog.show();
    QCOMPARE(dialog.references()->count(), 4);
    dialog.references()->setCurrentRow(1);
    QVERIFY(dialog.verseText()->text().startsWith("Genesis 1:3"));
    pressOk(&dialog);
    // Whole records only: the partial one is dropped. The entry that took the removed one's
    // place is selected: a book the module lacks, shown without text, deleted all the same.
    QCOMPARE(store.bytes("Love"), (std::string{0, 1, 2, 90, 2, 3, 42, 3, 16}));
    QVERIFY(dialog.references()->currentItem()->text().startsWith("(not in this translation)"));
    QVERIFY(dialog.verseText()->text().isEmpty() && dialog.isVisible());
    pressOk(&dialog);
    QCOMPARE(store.bytes("Love"), (std::string{0, 1, 2, 42, 3, 16}));
    QCOMPARE(dialog.references()->currentItem()->text(), QString("John 3:16"));
    pressOk(&dialog);  // the last entry removed: the new last one is selected
    QCOMPARE(dialog.references()->currentRow(), 0);
    pressOk(&dialog);
    // Every verse gone: the topic stays, empty.
    QCOMPARE(dialog.references()->count(), 0);
    QCOMPARE(store.bytes("Love"), std::string());
  }
};

QTEST_MAIN(TopicDlgTest)
#include "topic_dlg_test.moc"
