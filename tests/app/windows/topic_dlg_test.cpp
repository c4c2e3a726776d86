// The topic dialogs on a topics store of their own: topics added, renamed and deleted (and the
// names that would silently replace or empty another topic refused), verses inserted in order
// (and not while another program changes the store) and deleted with the selection kept, and
// topics holding damaged or foreign references.
#include "app/windows/topic_dlg.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "engine/stores/dict.h"
#include "tests/app/app_fixtures.h"

using namespace vellum;
using namespace vellum::ui;

namespace {

struct MessageBoxWatcher {
  QStringList texts, captions;
  QMessageBox::StandardButton answer = QMessageBox::Ok;
  QTimer timer;
  MessageBoxWatcher() {
    QObject::connect(&timer, &QTimer::timeout, [this] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
          texts << box->text();
          captions << box->windowTitle();
          if (QAbstractButton* button = box->button(answer))
            button->click();
          else
            box->accept();
        }
    });
    timer.start(20);
  }
};

template <class T = QWidget>
T* child(QWidget* parent, int id) {
  return parent->findChild<T*>(QString::number(id));
}

void pressOk(QWidget* dialog) { child<QPushButton>(dialog, 1)->click(); }

std::vector<std::uint8_t> topicBytes(DictHandle* topics, const char* name) {
  std::vector<std::uint8_t> bytes(65535);
  std::uint16_t length = 0;
  if (!find_binary_item(bytes.data(), &length, 65535, name, topics)) return {};
  bytes.resize(length);
  return bytes;
}

struct Store {
  test::AppData data;
  test::Module module;
  DictHandle* topics = nullptr;
  Store() {
    module = test::openModule(data.dir().path(), "kjv.bib");
    topics = new_dict("topics.dic", "Topics", 101, 0);
  }
  ~Store() { deinit_dict(topics); }
};

Reference ref(std::uint8_t b, std::uint8_t c, std::uint8_t v) { return Reference{b, c, v}; }

}  // namespace

class TopicDlgTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void topicsAreAddedRenamedAndDeleted() {
    Store store;
    QVERIFY(store.topics);
    MessageBoxWatcher boxes;
    {
      TAddTopicDlg dialog(nullptr, store.topics, store.module.get());
      QCOMPARE(dialog.objectName(), QString("4000"));
      dialog.show();
      dialog.name()->setText("   ");
      pressOk(&dialog);
      QVERIFY(dialog.isVisible());  // blank: nothing done
      dialog.name()->setText("Faith");
      pressOk(&dialog);
      QVERIFY(!dialog.isVisible());
    }
    QVERIFY(topicBytes(store.topics, "Faith").empty());
    QVERIFY(writeTopic(store.topics, "Faith", {ref(42, 3, 16)}));
    QVERIFY(writeTopic(store.topics, "Hope", {ref(0, 1, 1)}));
    {
      // Adding an existing name would empty it: refused, the topic kept.
      TAddTopicDlg dialog(nullptr, store.topics, store.module.get());
      dialog.show();
      dialog.name()->setText("faith");
      pressOk(&dialog);
      QVERIFY(dialog.isVisible());
      QCOMPARE(boxes.texts.value(0), QString("There is already a topic named faith"));
      QCOMPARE(topicBytes(store.topics, "Faith").size(), std::size_t{3});
    }
    {
      TRenameTopicDlg dialog(nullptr, store.topics, store.module.get());
      QCOMPARE(dialog.objectName(), QString("4001"));
      dialog.show();
      QCOMPARE(dialog.topicList()->count(), 2);
      dialog.topicList()->setCurrentIndex(dialog.topicList()->findText("Faith"));
      // Onto another topic's name: refused, both kept.
      dialog.newName()->setText("HOPE");
      pressOk(&dialog);
      QVERIFY(dialog.isVisible());
      QCOMPARE(topicBytes(store.topics, "Hope").size(), std::size_t{3});
      dialog.newName()->setText("Belief");
      pressOk(&dialog);
      QVERIFY(!dialog.isVisible());
    }
    QCOMPARE(topicBytes(store.topics, "Belief").size(), std::size_t{3});
    QVERIFY(!readTopic(store.topics, "Faith"));
    {
      TDeleteTopicDlg dialog(nullptr, store.topics, store.module.get());
      QCOMPARE(dialog.objectName(), QString("4002"));
      dialog.show();
      dialog.topicList()->setCurrentIndex(dialog.topicList()->findText("Hope"));
      boxes.answer = QMessageBox::No;
      pressOk(&dialog);
      QCOMPARE(boxes.texts.last(), QString("Are you sure you want to delete topic: Hope"));
      QCOMPARE(boxes.captions.last(), QString("Warning"));
      QVERIFY(readTopic(store.topics, "Hope"));
      boxes.answer = QMessageBox::Yes;
      pressOk(&dialog);
      QVERIFY(!dialog.isVisible());
    }
    QVERIFY(!readTopic(store.topics, "Hope"));
    QVERIFY(readTopic(store.topics, "Belief"));
  }

  void versesAreInsertedInOrderOnce() {
    Store store;
    MessageBoxWatcher boxes;
    TTopicInsertVerseDlg dialog(nullptr, store.topics, store.module.get(), ref(42, 3, 16));
    QCOMPARE(dialog.objectName(), QString("4003"));
    dialog.show();
    QTest::qWait(20);
    // A topic typed anew is created by its first verse.
    dialog.topicList()->setEditText("Salvation");
    pressOk(&dialog);
    QCOMPARE(boxes.texts.value(0), QString("John 3:16 has been added to Salvation"));
    QCOMPARE(boxes.captions.value(0), QString("Verse Added"));
    QVERIFY(dialog.isVisible());
    dialog.bookList()->setCurrentIndex(1);
    dialog.chapterList()->setEditText("1");
    dialog.verseList()->setEditText("1");
    QTest::qWait(20);
    QVERIFY(dialog.verseText()->text().startsWith("Genesis 1:1"));
    pressOk(&dialog);
    QCOMPARE(boxes.texts.value(1), QString("Genesis 1:1 has been added to Salvation"));
    QCOMPARE(topicBytes(store.topics, "Salvation"),
             (std::vector<std::uint8_t>{0, 1, 1, 42, 3, 16}));
    // Again: nothing stored, nothing said.
    pressOk(&dialog);
    QCOMPARE(boxes.texts.size(), 2);
    QCOMPARE(topicBytes(store.topics, "Salvation").size(), std::size_t{6});
    QVERIFY(test::waitFor([&] { return dialog.focusWidget() == dialog.bookList(); }));
  }

  void aVerseIsNotInsertedWhileAnotherProgramChangesTheTopics() {
    Store store;
    MessageBoxWatcher boxes;
    TTopicInsertVerseDlg dialog(nullptr, store.topics, store.module.get(), ref(42, 3, 16));
    dialog.show();
    dialog.topicList()->setEditText("Salvation");
    setLockWait(std::chrono::milliseconds(50));
    {
      const test::ForeignLock other(store.data.dir().file("topics.dic"), LockKind::exclusive);
      QVERIFY(other.held());
      pressOk(&dialog);
    }
    setLockWait(std::chrono::milliseconds(5000));
    QCOMPARE(boxes.texts.value(0),
             QString("topics.dic is being changed by another program; try again."));
    QCOMPARE(boxes.captions.value(0), QString("Insert Verse"));
    QVERIFY(!readTopic(store.topics, "Salvation"));
    pressOk(&dialog);  // the same OK once the other program is done
    QCOMPARE(boxes.texts.value(1), QString("John 3:16 has been added to Salvation"));
  }

  void versesAreDeletedWithTheSelectionKept() {
    Store store;
    QVERIFY(writeTopic(store.topics, "Love",
                       {ref(0, 1, 2), ref(0, 1, 3), ref(42, 3, 16), ref(65, 22, 21)}));
    TTopicDeleteVerseDlg dialog(nullptr, store.topics, store.module.get());
    QCOMPARE(dialog.objectName(), QString("4004"));
    dialog.show();
    QCOMPARE(dialog.references()->count(), 4);
    QCOMPARE(dialog.references()->item(2)->text(), QString("John 3:16"));
    dialog.references()->setCurrentRow(1);
    QVERIFY(dialog.verseText()->text().startsWith("Genesis 1:3"));
    pressOk(&dialog);
    QVERIFY(dialog.isVisible());
    QCOMPARE(topicBytes(store.topics, "Love"),
             (std::vector<std::uint8_t>{0, 1, 2, 42, 3, 16, 65, 22, 21}));
    QCOMPARE(dialog.references()->currentRow(), 1);
    QCOMPARE(dialog.references()->currentItem()->text(), QString("John 3:16"));
    // The last entry removed: the new last one is selected.
    dialog.references()->setCurrentRow(2);
    pressOk(&dialog);
    QCOMPARE(dialog.references()->currentRow(), 1);
    pressOk(&dialog);
    pressOk(&dialog);
    // Every verse gone: the topic stays, empty.
    QCOMPARE(dialog.references()->count(), 0);
    std::optional<std::vector<Reference>> left = readTopic(store.topics, "Love");
    QVERIFY(left && left->empty());
  }

  void damagedAndForeignReferencesCanBeSeenAndDeleted() {
    Store store;
    // Genesis 1:1, a book beyond the module, John 3:16 and a partial record.
    const std::uint8_t bytes[] = {0, 1, 1, 90, 2, 3, 42, 3, 16, 7, 7};
    QVERIFY(add_binary_item(store.topics, "Odd", bytes, sizeof bytes));
    TTopicDeleteVerseDlg dialog(nullptr, store.topics, store.module.get());
    dialog.show();
    QCOMPARE(dialog.references()->count(), 3);
    QVERIFY(dialog.references()->item(1)->text().startsWith("(not in this translation)"));
    dialog.references()->setCurrentRow(1);
    QVERIFY(dialog.verseText()->text().isEmpty());
    pressOk(&dialog);
    // The foreign reference gone and the partial record dropped: whole records only.
    QCOMPARE(topicBytes(store.topics, "Odd"), (std::vector<std::uint8_t>{0, 1, 1, 42, 3, 16}));

    // Long topics are read whole: inserting into one of 2000 references keeps them all.
    std::vector<Reference> many;
    for (int i = 0; i < 2000; ++i)
      many.push_back(ref(static_cast<std::uint8_t>(1 + i / 100),
                         static_cast<std::uint8_t>(1 + i % 100 / 50),
                         static_cast<std::uint8_t>(1 + i % 50)));
    QVERIFY(writeTopic(store.topics, "Many", many));
    MessageBoxWatcher boxes;
    TTopicInsertVerseDlg insert(nullptr, store.topics, store.module.get(), ref(0, 1, 1), "Many");
    insert.show();
    QCOMPARE(insert.topicList()->currentText(), QString("Many"));
    pressOk(&insert);
    const std::vector<std::uint8_t> stored = topicBytes(store.topics, "Many");
    QCOMPARE(stored.size(), std::size_t{2001 * 3});
    QCOMPARE(int(stored[0]), 0);
  }
};

QTEST_MAIN(TopicDlgTest)
#include "topic_dlg_test.moc"
