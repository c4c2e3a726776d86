// Window utilities: the main window's placement in "VLMR20.INI" (round trip, negative
// coordinates, damaged values), centring, the message box, the clipboard helpers, the edit
// control that posts 515, and the help viewer with its pages.
#include "app/window_utils.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QtTest>
#include <functional>

#include "app/commands.h"
#include "app/config.h"
#include "app/profile.h"

using namespace vellum;
using namespace vellum::ui;

namespace {

// Every help context the program opens.
const int kHelpContexts[] = {1000, 1080, 1090, 1140, 1150, 1160, 1180,
                             1190, 1200, 1210, 1220, 1230, 1240, 1250};

std::string placementValue(const char* key) {
  char text[32];
  getPrivateProfileString("WindowPos", key, "<none>", text, sizeof text, kIniFile);
  return text;
}

void writePlacement(const char* x, const char* y, const char* w, const char* h) {
  writePrivateProfileString("WindowPos", "Xmin", x, kIniFile);
  writePrivateProfileString("WindowPos", "Ymin", y, kIniFile);
  writePrivateProfileString("WindowPos", "Xext", w, kIniFile);
  writePrivateProfileString("WindowPos", "Yext", h, kIniFile);
}

QRect screenArea() { return QGuiApplication::primaryScreen()->geometry(); }

// Answers the next message box: checks nothing itself, hands the box to `answer`.
void answerNextMessageBox(std::function<void(QMessageBox*)> answer) {
  QTimer::singleShot(0, [answer] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == "MessageBox" && widget->isVisible()) {
          box = qobject_cast<QMessageBox*>(widget);
        }
      }
    }
    QVERIFY(box);
    answer(box);
  });
}

QTextBrowser* helpViewer() {
  for (QWidget* widget : QApplication::allWidgets()) {
    if (widget->objectName() == "HelpViewer") return qobject_cast<QTextBrowser*>(widget);
  }
  return nullptr;
}

// A dialog that records the commands that reach it, with what its edit had selected then.
class RecordingDialog : public QDialog, public CommandHandler {
 public:
  RecordingDialog() {
    auto* layout = new QVBoxLayout(this);
    auto* frame = new QWidget(this);  // the edit sits one level below the dialog
    auto* inner = new QVBoxLayout(frame);
    edit = new TEditWithDoubleClick(frame);
    edit->setObjectName("11070");
    edit->setReadOnly(true);
    edit->setPlainText("Abraham begat Isaac");
    inner->addWidget(edit);
    layout->addWidget(frame);
  }
  bool handleCommand(int id) override {
    commands.append(id);
    selectionSeen = edit->textCursor().selectedText();
    return true;
  }
  bool commandState(int, CommandState& state) override {
    state.enabled = true;
    return true;
  }
  TEditWithDoubleClick* edit;
  QList<int> commands;
  QString selectionSeen;
};

}  // namespace

class WindowUtilsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> home_;
  QByteArray savedConfigHome_;

 private slots:
  void init() {
    savedConfigHome_ = qgetenv("XDG_CONFIG_HOME");
    home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(home_->isValid());
    qputenv("XDG_CONFIG_HOME", home_->path().toLocal8Bit());
  }
  void cleanup() {
    qputenv("XDG_CONFIG_HOME", savedConfigHome_);
    home_.reset();
    if (QTextBrowser* viewer = helpViewer()) {
      viewer->close();  // deletes itself
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
  }

  // Placement.

  void placementWithoutSavedNumbersTakesFourFifthsOfTheScreenCentred() {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect centred(area.topLeft() + QPoint(area.width() / 10, area.height() / 10),
                        area.size() * 4 / 5);
    QWidget window;
    move_window(&window, kIniFile);
    QCOMPARE(QRect(window.pos(), window.size()), centred);
    writePlacement("garbage", "", "abc", "-");  // no digits: not a placement
    move_window(&window, kIniFile);
    QCOMPARE(QRect(window.pos(), window.size()), centred);
  }

  void placementRoundTrips() {
    writePlacement("30", "40", "500", "400");
    QWidget window;
    move_window(&window, kIniFile);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.pos(), QPoint(30, 40));
    save_window_pos(&window, kIniFile);
    QCOMPARE(placementValue("Xmin"), std::string("30"));
    QCOMPARE(placementValue("Ymin"), std::string("40"));
    QCOMPARE(placementValue("Xext"), std::string("500"));
    QCOMPARE(placementValue("Yext"), std::string("400"));

    window.move(60, 70);
    window.resize(420, 310);
    save_window_pos(&window, kIniFile);
    QWidget second;
    move_window(&second, kIniFile);
    QCOMPARE(second.pos(), QPoint(60, 70));
    QCOMPARE(second.size(), QSize(420, 310));
  }

  void negativeCoordinateIsWrittenUnsignedAndReadBack() {
    QWidget window;
    window.move(-8, -8);
    window.resize(640, 480);
    save_window_pos(&window, kIniFile);
    QCOMPARE(placementValue("Xmin"), std::string("4294967288"));
    QCOMPARE(placementValue("Ymin"), std::string("4294967288"));
    QWidget restored;
    move_window(&restored, kIniFile);
    QCOMPARE(restored.pos(), QPoint(-8, -8));
    save_window_pos(&restored, kIniFile);
    QCOMPARE(placementValue("Xmin"), std::string("4294967288"));
  }

  void damagedPlacementIsBroughtBackOntoTheScreen() {
    const QRect screen = screenArea();
    QWidget window;

    writePlacement("100000", "100000", "640", "480");  // wholly off every screen
    move_window(&window, kIniFile);
    QVERIFY(screen.contains(QRect(window.pos(), window.size())));
    QCOMPARE(window.size(), QSize(640, 480));

    writePlacement("4294966296", "10", "640", "480");  // x = -1000
    move_window(&window, kIniFile);
    QCOMPARE(window.pos(), QPoint(screen.left(), 10));

    writePlacement("10", "10", "0", "3");  // too small to find
    move_window(&window, kIniFile);
    QCOMPARE(window.size(), QSize(200, 150));

    writePlacement("0", "0", "99999", "99999");  // larger than the screen
    move_window(&window, kIniFile);
    QCOMPARE(window.size(), screen.size());

    // The largest numbers a 32-bit reader can give must not overflow any sum.
    writePlacement("2147483647", "2147483648", "2147483647", "4294967295");
    move_window(&window, kIniFile);
    QVERIFY(screen.contains(QRect(window.pos(), window.size())));
  }

  // Centring, extents, client rectangle, colours.

  void centreIsHalfAcrossAndOneThirdDown() {
    const QRect screen = screenArea();
    QDialog dialog;
    dialog.setFixedSize(300, 200);
    _CenterWindow(&dialog);
    QCOMPARE(dialog.pos(), QPoint(screen.x() + (screen.width() - 300) / 2,
                                  screen.y() + (screen.height() - 200) / 3));
  }

  void windowLargerThanTheScreenKeepsItsCornerOnIt() {
    const QRect screen = screenArea();
    QWidget window;
    window.resize(screen.width() + 100, screen.height() + 300);
    _CenterWindow(&window);
    QCOMPARE(window.pos(), screen.topLeft());
  }

  void extentsAndClientRectangle() {
    QImage image(123, 45, QImage::Format_RGB32);
    QPoint extent;
    QCOMPARE(_GetWindowExt(&extent, &image), QPoint(123, 45));
    QCOMPARE(extent, QPoint(123, 45));
    QCOMPARE(_GetWindowExt(nullptr, nullptr), QPoint(screenArea().width(), screenArea().height()));
    QWidget window;
    window.resize(210, 90);
    QRect client;
    QCOMPARE(_GetClientRect(&client, &window), QRect(0, 0, 210, 90));
    QCOMPARE(client, QRect(0, 0, 210, 90));
  }

  void systemColoursFollowThePalette() {
    const QPalette palette = QGuiApplication::palette();
    QCOMPARE(_GetSysColor(5), palette.color(QPalette::Active, QPalette::Base));
    QCOMPARE(_GetSysColor(8), palette.color(QPalette::Active, QPalette::Text));
    QCOMPARE(_GetSysColor(13), palette.color(QPalette::Active, QPalette::Highlight));
    QCOMPARE(_GetSysColor(14), palette.color(QPalette::Active, QPalette::HighlightedText));
    QCOMPARE(_GetSysColor(15), palette.color(QPalette::Active, QPalette::Button));
    QCOMPARE(_GetSysColor(999), _GetSysColor(5));
  }

  // Message boxes.

  void messageBoxShowsExactTextAndCaption() {
    QString seenText, seenCaption, seenName;
    Qt::TextFormat seenFormat = Qt::AutoText;
    QList<QMessageBox::StandardButton> seenButtons;
    answerNextMessageBox([&](QMessageBox* box) {
      seenText = box->text();
      seenCaption = box->windowTitle();
      seenName = box->objectName();
      seenFormat = box->textFormat();
      for (QAbstractButton* button : box->buttons())
        seenButtons.append(box->standardButton(button));
      box->button(QMessageBox::Ok)->click();
    });
    const QString text = "<b>Jn 3:16</b> is not a valid reference";
    QCOMPARE(_MessageBox(nullptr, text, "Invalid Reference", MB_OK | MB_ICONEXCLAMATION),
             int(IDOK));
    QCOMPARE(seenText, text);
    QCOMPARE(seenCaption, QString("Invalid Reference"));
    QCOMPARE(seenName, QString("MessageBox"));
    QCOMPARE(seenFormat, Qt::PlainText);  // user text is never taken as markup
    QCOMPARE(seenButtons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
  }

  void messageBoxReturnsTheButtonPressed_data() {
    QTest::addColumn<unsigned>("style");
    QTest::addColumn<int>("button");  // QMessageBox::StandardButton, or 0 for Escape
    QTest::addColumn<int>("expected");
    QTest::newRow("ok") << unsigned(MB_OK) << int(QMessageBox::Ok) << int(IDOK);
    QTest::newRow("ok of ok-cancel") << unsigned(MB_OKCANCEL) << int(QMessageBox::Ok) << int(IDOK);
    QTest::newRow("cancel") << unsigned(MB_OKCANCEL) << int(QMessageBox::Cancel) << int(IDCANCEL);
    QTest::newRow("escape on ok-cancel") << unsigned(MB_OKCANCEL) << 0 << int(IDCANCEL);
    QTest::newRow("yes") << unsigned(MB_YESNO | MB_ICONQUESTION) << int(QMessageBox::Yes)
                         << int(IDYES);
    QTest::newRow("no") << unsigned(MB_YESNO) << int(QMessageBox::No) << int(IDNO);
    QTest::newRow("escape on yes-no") << unsigned(MB_YESNO) << 0 << int(IDNO);
  }
  void messageBoxReturnsTheButtonPressed() {
    QFETCH(unsigned, style);
    QFETCH(int, button);
    QFETCH(int, expected);
    answerNextMessageBox([button](QMessageBox* box) {
      if (button == 0) {
        QTest::keyClick(box, Qt::Key_Escape);
      } else {
        QAbstractButton* target = box->button(QMessageBox::StandardButton(button));
        QVERIFY(target);
        target->click();
      }
    });
    QCOMPARE(_MessageBox(nullptr, "Delete the note?", "Delete Note", style), expected);
  }

  // Clipboard.

  void clipboardTextRoundTripsAsUtf8() {
    const char* text = "In the beginning \xe1\xbc\x80\xcf\x81\xcf\x87\xe1\xbf\x87\r\nsecond line";
    _SetClipboardData(text, nullptr);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromUtf8(text));
    std::unique_ptr<char[]> back = _GetClipboardData(nullptr);
    QVERIFY(back);
    QCOMPARE(std::string(back.get()), std::string(text));
  }

  void clipboardWithoutTextGivesNone() {
    QGuiApplication::clipboard()->clear();
    auto* image = new QMimeData();  // the clipboard takes ownership
    image->setImageData(QImage(4, 4, QImage::Format_RGB32));
    QGuiApplication::clipboard()->setMimeData(image);
    QVERIFY(!_GetClipboardData(nullptr));
  }

  void settingNoTextLeavesTheClipboard() {
    _SetClipboardData("kept", nullptr);
    _SetClipboardData(nullptr, nullptr);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("kept"));
  }

  // The edit that reports double clicks.

  void doubleClickSelectsTheWordThenPosts515ToTheDialog() {
    RecordingDialog dialog;
    dialog.resize(300, 200);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QWidget* viewport = dialog.edit->viewport();
    const QRect word = dialog.edit->cursorRect(dialog.edit->document()->find("Isaac"));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, word.center() + QPoint(4, 0));
    QVERIFY(dialog.commands.isEmpty());  // posted, not sent
    QCoreApplication::processEvents();
    QCOMPARE(dialog.commands, QList<int>{515});
    QCOMPARE(dialog.selectionSeen, QString("Isaac"));
  }

  void rightDoubleClickPostsNothing() {
    RecordingDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseDClick(dialog.edit->viewport(), Qt::RightButton, {}, QPoint(5, 5));
    QCoreApplication::processEvents();
    QVERIFY(dialog.commands.isEmpty());
  }

  // Help.

  void helpDirectoryComesFromTheEnvironment() {
    QVERIFY(!qEnvironmentVariable("VELLUM_HELP_DIR").isEmpty());
    QCOMPARE(helpDirectory(), qEnvironmentVariable("VELLUM_HELP_DIR"));
  }

  void everyHelpContextHasAPage() {
    for (int context : kHelpContexts) {
      QFile page(QDir(helpDirectory()).filePath(QString("%1.html").arg(context)));
      QVERIFY2(page.open(QIODevice::ReadOnly), qPrintable(page.fileName()));
      const QString html = QString::fromUtf8(page.readAll());
      QVERIFY2(html.contains("<title>"), qPrintable(page.fileName()));
      QVERIFY2(html.size() > 1500, qPrintable(page.fileName() + " is too short to help"));
    }
  }

  void everyLinkBetweenHelpPagesLeadsToAPage() {
    const QRegularExpression link(R"re(href="([^"#]*)(#[^"]*)?")re");
    const QDir dir(helpDirectory());
    for (const QString& name : dir.entryList({"*.html"})) {
      QFile page(dir.filePath(name));
      QVERIFY(page.open(QIODevice::ReadOnly));
      const QString html = QString::fromUtf8(page.readAll());
      for (auto match = link.globalMatch(html); match.hasNext();) {
        const QString target = match.next().captured(1);
        if (target.isEmpty()) continue;  // a link within the page
        QVERIFY2(!target.contains(':'), qPrintable(name + " links outside: " + target));
        QVERIFY2(dir.exists(target), qPrintable(name + " links to missing " + target));
      }
    }
    // The contents page reaches every other page.
    QFile contents(dir.filePath("1000.html"));
    QVERIFY(contents.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(contents.readAll());
    for (int context : kHelpContexts) {
      if (context == 1000) continue;
      QVERIFY2(html.contains(QString("href=\"%1.html\"").arg(context)),
               qPrintable(QString::number(context)));
    }
  }

  void helpOpensOneViewerAtTheTopicAndFollowsLinks() {
    openHelp(nullptr, 1090);
    QTextBrowser* viewer = helpViewer();
    QVERIFY(viewer);
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->windowTitle(), QString("Vellum Help"));
    QCOMPARE(currentHelpContext(), 1090);
    QVERIFY(viewer->source().toLocalFile().endsWith("/1090.html"));
    QVERIFY(viewer->toPlainText().contains("Go to", Qt::CaseInsensitive));

    openHelp(nullptr, 1000);
    QCOMPARE(helpViewer(), viewer);  // still one viewer
    QCOMPARE(currentHelpContext(), 1000);

    viewer->setSource(QUrl("1220.html"));  // as a click on a link does
    QCOMPARE(currentHelpContext(), 1220);
    QVERIFY(viewer->toPlainText().contains("Print"));
    viewer->backward();
    QCOMPARE(currentHelpContext(), 1000);
  }

  void missingHelpTopicSaysSo() {
    openHelp(nullptr, 4242);
    QTextBrowser* viewer = helpViewer();
    QVERIFY(viewer);
    QCOMPARE(currentHelpContext(), 4242);
    QVERIFY(viewer->toPlainText().contains("Help topic not found"));
  }

  void helpOwnedByADialogOutlivesIt() {
    QWidget mainWindow;
    mainWindow.show();
    auto dialog = std::make_unique<QDialog>(&mainWindow);
    dialog->setModal(true);
    dialog->show();
    openHelp(dialog.get(), 1210);
    QTextBrowser* viewer = helpViewer();
    QVERIFY(viewer);
    // A child of the modal dialog, so the dialog does not block it.
    QCOMPARE(viewer->parentWidget(), dialog.get());
    QVERIFY(viewer->isWindow());
    dialog->accept();
    dialog.reset();
    QCOMPARE(helpViewer(), viewer);
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->parentWidget(), &mainWindow);
  }
};

QTEST_MAIN(WindowUtilsTest)
#include "window_utils_test.moc"
