#include "ui/folder_frm.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "model/waiter.h"
#include "platform/launcher.h"
#include "project/project.h"
#include "project/project_header.h"
#include "shell/file_list_block.h"
#include "support/ftp_test_server.h"
#include "support/scripted_ftp_server.h"
#include "support/temp_dir.h"
#include "support/test_client_settings.h"
#include "ui/choose_project_frm.h"
#include "ui/confirm_replace_frm.h"
#include "ui/connection_texts.h"
#include "ui/error_box.h"
#include "ui/files_lvw.h"
#include "ui/files_mime.h"
#include "ui/main_sbr.h"
#include "ui/path_tbr.h"
#include "ui/progress_frm.h"
#include "ui/qt_main_thread.h"
#include "ui/qt_text.h"
#include "ui/question_box.h"
#include "ui/resolve_frm.h"

namespace ravelo {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using test::TFtpTestServer;

int argc = 1;
char name[] = "folder_frm_test";
char* argv[] = {name, nullptr};

// Stands in for the desktop's "open": records the paths.
class TRecordingLauncher : public ILauncher {
 public:
  bool Launch(const std::vector<std::string>& args) override {
    std::lock_guard lock(mutex_);
    launched_.push_back(args.back());
    return true;
  }
  std::vector<std::string> Launched() {
    std::lock_guard lock(mutex_);
    return launched_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> launched_;
};

class TForwardingLauncher : public ILauncher {
 public:
  explicit TForwardingLauncher(std::shared_ptr<ILauncher> to) : to_(std::move(to)) {}
  bool Launch(const std::vector<std::string>& args) override { return to_->Launch(args); }

 private:
  std::shared_ptr<ILauncher> to_;
};

// The real window on the offscreen platform, its project on the real FTP
// server, whose "www" folder is the site; the local cache is dir/site.
class FolderFrmTest : public ::testing::Test {
 protected:
  FolderFrmTest() {
    ::setenv("XDG_CONFIG_HOME", config.PathString().c_str(), 1);
    ::setenv("XDG_DATA_HOME", config.PathString().c_str(), 1);
    SetErrorBox([this](QWidget*, const QString& message) { errors.push_back(Std(message)); });
  }
  ~FolderFrmTest() override {
    window.reset();
    SetErrorBox({});
  }

  void StartFtp(long rate = 0, TFtpTestServer::TTls tls = TFtpTestServer::kPlain) {
    TFtpTestServer::TOptions options;
    options.TransferRate = rate;
    options.Tls = tls;
    ftp = std::make_unique<TFtpTestServer>(options);
    ftp->Home().CreateDir("www");
  }
  // A file on the server, a whole minute well past (listings show minutes).
  void PutRemote(const std::string& path, const std::string& content, int minutes_later = 0) {
    const auto file = ftp->Home().CreateFile("www/" + path, content);
    const std::time_t at = (std::time(nullptr) - 7200) / 60 * 60 + minutes_later * 60;
    fs::last_write_time(
        file, fs::file_time_type::clock::from_sys(std::chrono::system_clock::from_time_t(at)));
  }
  std::string MakeProject(const std::string& host, const std::string& password) {
    const std::string file = (dir / "site/site.rvlp").string();
    EXPECT_TRUE(TProject::Create(host, TFtpTestServer::kUser, password, "/www", file)->Save());
    return file;
  }
  void Start(const std::string& project_file) {
    TFolderFrmOptions options;
    options.ProjectOptions = [this] {
      TProjectOptions project;
      project.Client = test::TestClientSettings();
      project.Launcher = std::make_unique<TForwardingLauncher>(launcher);
      return project;
    };
    window = std::make_unique<TFolderFrm>(std::move(options));
    Show();
    ASSERT_TRUE(window->Start(project_file));
  }
  // Painting the window makes Qt convert its picture in threads of its own,
  // whose locks ThreadSanitizer cannot see in the uninstrumented Qt
  // libraries; under it the window works unseen.
  void Show() {
#ifndef __SANITIZE_THREAD__
    window->show();
#endif
  }
  void StartConnected() {
    Start(MakeProject(ftp->HostPort(), TFtpTestServer::kPassword));
    // An open still running when the connection comes stands in for the
    // device's open after connecting, which would list the server.
    ASSERT_TRUE(Settled());
    window->Action(aiConnect)->trigger();
    EXPECT_EQ(Panel(0), "Connecting...");
    ASSERT_TRUE(Settled([&] { return window->StrategyKind() == skConnected; }));
  }

  // Serves Qt's event loop (and so the hand-overs) until done, or 10 s.
  static bool RunUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      QEventLoop loop;
      QTimer::singleShot(10ms, &loop, &QEventLoop::quit);
      loop.exec();
    }
    return true;
  }
  // RunUntil done, then until no operation is left.
  static bool Settled(const std::function<bool()>& done = [] { return true; }) {
    return RunUntil(done) && RunUntil([] { return TWaiter::LiveCount() == 0; });
  }

  QModelIndex Row(const std::string& caption) const {
    TFileListModel& files = window->Files();
    for (int row = 0; row < files.rowCount(); ++row)
      if (files.index(row, 0).data().toString() == Qs(caption)) return files.index(row, 0);
    return {};
  }
  std::vector<std::string> Captions() const {
    return window->Files().Captions();
  }
  // The state the row was last shown with; nsUnknown without a row.
  TNodeState State(const std::string& caption) const {
    const TNodeFacts* facts = window->Files().FactsAt(Row(caption));
    return facts != nullptr ? facts->State : nsUnknown;
  }
  bool Cut(const std::string& caption) const {
    return window->Files().data(Row(caption), Qt::ForegroundRole).isValid();
  }
  void Select(const std::string& caption) {
    window->FilesLvw().SelectOnly(Row(caption));
  }
  void DoubleClick(const std::string& caption) {
    QAbstractItemView* view = window->FilesLvw().CurrentView();
    const QPoint at = view->visualRect(Row(caption)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
  }
  // Drags data over the list to the item (or an empty place, for none) and
  // drops it there; the effect shown while over it, none when refused.
  Qt::DropAction DropOnList(const QMimeData& data, const QModelIndex& over,
                            Qt::KeyboardModifiers modifiers = {}) {
    QAbstractItemView* view = window->FilesLvw().CurrentView();
    QWidget* viewport = view->viewport();
    const QPoint at = over.isValid() ? view->visualRect(over).center()
                                     : QPoint(viewport->width() - 2, viewport->height() - 2);
    const Qt::DropActions allowed = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, allowed, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(viewport, &enter);
    if (!enter.isAccepted()) return Qt::IgnoreAction;
    QDragMoveEvent move(at, allowed, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(viewport, &move);
    if (!move.isAccepted()) return Qt::IgnoreAction;
    QDropEvent drop(at, allowed, &data, Qt::NoButton, modifiers);
    QApplication::sendEvent(viewport, &drop);
    EXPECT_TRUE(drop.isAccepted());
    return move.dropAction();
  }
  std::string Panel(int panel) const {
    return Std(window->MainSbr().PanelText(panel));
  }
  std::string Local(const std::string& path) const {
    return dir.ReadFile("site/" + path);
  }
  void EditLocal(const std::string& path, const std::string& content) {
    const auto file = dir.CreateFile("site/" + path, content);
    fs::last_write_time(file, fs::file_time_type::clock::now() + 10s);
  }

  // Offscreen unless a display is asked for.
  const bool offscreen_ = ::setenv("QT_QPA_PLATFORM", "offscreen", 0) == 0;
  QApplication app{argc, argv};
  TQtMainThread main_thread;
  test::TTempDir dir;
  test::TTempDir config;
  std::unique_ptr<TFtpTestServer> ftp;
  std::shared_ptr<TRecordingLauncher> launcher = std::make_shared<TRecordingLauncher>();
  std::vector<std::string> errors;
  std::unique_ptr<TFolderFrm> window;
};

TEST_F(FolderFrmTest, ConnectBrowseOpenEditAndUploadFresh) {
  StartFtp();
  PutRemote("index.html", "<p>home</p>");
  PutRemote("docs/page.html", "<p>page</p>");
  dir.CreateFile("site/notes.txt", "mine");
  Start(MakeProject(ftp->HostPort(), TFtpTestServer::kPassword));
  // Disconnected: only what has a local copy, never dimmed.
  ASSERT_TRUE(Settled([&] { return Row("notes.txt").isValid(); }));
  EXPECT_EQ(window->StrategyKind(), skDisconnected);
  EXPECT_EQ(Captions(), std::vector<std::string>{"notes.txt"});
  EXPECT_FALSE(window->Action(aiSync)->isEnabled());

  window->Action(aiConnect)->trigger();
  ASSERT_TRUE(Settled([&] { return window->Files().rowCount() == 3; }));
  // A new project tries TLS; the plain server's connection is shown as such.
  EXPECT_EQ(Panel(0), "Connected (plain FTP)");
  EXPECT_EQ(Std(window->MainSbr().ConnectionToolTip()),
            "Not encrypted: the server does not offer TLS");
  EXPECT_EQ(Captions(), (std::vector<std::string>{"docs", "index.html", "notes.txt"}));
  EXPECT_EQ(State("index.html"), nsNotCached);
  EXPECT_TRUE(Cut("index.html"));
  EXPECT_EQ(State("notes.txt"), nsFresh);
  EXPECT_FALSE(Cut("notes.txt"));

  DoubleClick("docs");
  ASSERT_TRUE(Settled([&] { return Row("page.html").isValid(); }));
  EXPECT_EQ(Captions(), std::vector<std::string>{"page.html"});
  ASSERT_EQ(window->PathTbr().ButtonCount(), 2);
  EXPECT_EQ(window->PathTbr().Caption(1), "docs");
  EXPECT_TRUE(window->Action(aiFolderUp)->isEnabled());
  window->PathTbr().Click(0);
  ASSERT_TRUE(Settled([&] { return Row("index.html").isValid(); }));
  EXPECT_FALSE(window->Action(aiFolderUp)->isEnabled());

  Select("index.html");
  QTest::keyClick(window->FilesLvw().CurrentView(), Qt::Key_Return);
  ASSERT_TRUE(Settled([&] { return State("index.html") == nsSynchronized; }));
  EXPECT_EQ(Local("index.html"), "<p>home</p>");
  EXPECT_EQ(launcher->Launched(), std::vector<std::string>{(dir / "site/index.html").string()});
  EXPECT_EQ(Panel(1), "Size: 11");
  EXPECT_FALSE(window->Action(aiUploadFresh)->isEnabled());

  window->Action(aiAutoSync)->trigger();  // off: the edit waits for Upload Fresh
  EXPECT_FALSE(window->Project()->Device().AutoUploadFresh());
  EditLocal("index.html", "<p>home, edited</p>");
  ASSERT_TRUE(RunUntil([&] { return State("index.html") == nsFresh; }));
  ASSERT_TRUE(window->Action(aiUploadFresh)->isEnabled());
  window->Action(aiUploadFresh)->trigger();
  ASSERT_TRUE(Settled([&] { return State("index.html") == nsSynchronized; }));
  EXPECT_EQ(ftp->Home().ReadFile("www/index.html"), "<p>home, edited</p>");

  window->Action(aiConnect)->trigger();  // Disconnect: remote-only items go
  ASSERT_TRUE(Settled([&] { return window->StrategyKind() == skDisconnected; }));
  ASSERT_TRUE(RunUntil([&] { return !Row("docs").isValid(); }));
  EXPECT_EQ(Captions(), (std::vector<std::string>{"index.html", "notes.txt"}));
  EXPECT_TRUE(errors.empty());
}

TEST_F(FolderFrmTest, DeleteCreateAndRenameInPlaceAndNodeErrorsShow) {
  StartFtp();
  PutRemote("old.css", "a {}");
  PutRemote("gone.html", "soon gone");
  StartConnected();

  Select("old.css");
  window->Action(aiDelete)->trigger();
  ASSERT_TRUE(Settled([&] { return !Row("old.css").isValid(); }));
  EXPECT_FALSE(ftp->Home().Exists("www/old.css"));

  window->Action(aiCreateFolder)->trigger();
  QAbstractItemView* view = window->FilesLvw().CurrentView();
  ASSERT_TRUE(Row("New Folder").isValid());
  auto* editor = view->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), "New Folder");
  editor->selectAll();
  QTest::keyClicks(editor, QStringLiteral("assets"));
  // The folder's creation is reported while the name is typed; it stays.
  ASSERT_TRUE(Settled([&] { return dir.Exists("site/New Folder"); }));
  QTest::keyClick(editor, Qt::Key_Return);
  ASSERT_TRUE(Settled([&] { return dir.Exists("site/assets") && Row("assets").isValid(); }));
  EXPECT_FALSE(dir.Exists("site/New Folder"));
  window->Action(aiCreateFolder)->trigger();  // the name is free again
  EXPECT_TRUE(Row("New Folder").isValid());
  ASSERT_TRUE(Settled());

  fs::remove(ftp->Home() / "www/gone.html");
  Select("gone.html");
  window->Action(aiOpen)->trigger();
  ASSERT_TRUE(Settled([&] { return !Panel(2).empty(); }));
  EXPECT_TRUE(Panel(2).starts_with("Error: ")) << Panel(2);
  EXPECT_TRUE(Panel(2).ends_with(", Node: gone.html")) << Panel(2);
  EXPECT_TRUE(errors.empty());
}

TEST_F(FolderFrmTest, ResolveIdenticalOrByACopyAndAFailedCopyIsShown) {
  StartFtp();
  for (const char* name : {"a.html", "b.html", "c.html"}) {
    PutRemote(name, "theirs");
    dir.CreateFile(std::string("site/") + name, "mine");
  }
  StartConnected();
  ASSERT_EQ(State("a.html"), nsUnknown);
  // Answers the conflict dialog with the button, after before.
  const auto answer = [&](
                          const char* button, std::function<void()> before = [] {}) {
    QTimer::singleShot(0, window.get(), [this, button, before] {
      ASSERT_TRUE(window->ResolveFrm().isVisible());
      before();
      window->ResolveFrm().findChild<QPushButton*>(button)->click();
    });
  };

  Select("a.html");
  answer("MarkSynchronizedBtn");
  DoubleClick("a.html");
  ASSERT_TRUE(Settled([&] { return State("a.html") == nsSynchronized; }));
  EXPECT_EQ(Local("a.html"), "mine");
  EXPECT_TRUE(launcher->Launched().empty());

  Select("b.html");
  answer("MakeCopiesBtn");
  window->Action(aiResolve)->trigger();
  EXPECT_EQ(Local("b (local).html"), "mine");
  ASSERT_TRUE(Settled([&] { return State("b.html") == nsNotCached; }));

  Select("c.html");
  answer("MakeCopiesBtn", [&] { fs::remove(dir / "site/c.html"); });
  window->Action(aiResolve)->trigger();
  EXPECT_EQ(errors.size(), 1u);  // not silently nothing
  EXPECT_FALSE(dir.Exists("site/c (local).html"));
}

TEST_F(FolderFrmTest, ClosingDuringADownloadStopsItKeepsTheOldCopyAndSavesConnected) {
  StartFtp(64 * 1024);
  PutRemote("big.bin", "old");
  StartConnected();
  Select("big.bin");
  window->Action(aiOpen)->trigger();
  ASSERT_TRUE(Settled([&] { return State("big.bin") == nsSynchronized; }));

  PutRemote("big.bin", std::string(2 << 20, 'n'), 1);
  for (const TStrategyKind kind : {skDisconnected, skConnected}) {  // lists the server again
    window->Action(aiConnect)->trigger();
    ASSERT_TRUE(Settled([&] { return window->StrategyKind() == kind; }));
  }
  ASSERT_TRUE(Settled([&] { return State("big.bin") == nsExpired; }));
  Select("big.bin");
  window->Action(aiOpen)->trigger();
  // The download takes half a minute at this rate; the window goes on.
  ASSERT_TRUE(RunUntil([&] { return State("big.bin") == nsInProcess; }));
  ASSERT_TRUE(RunUntil([&] {
    const auto log = ftp->Log();
    return std::count(log.begin(), log.end(), "RETR big.bin") == 2;
  }));
  EXPECT_TRUE(window->MainSbr().ProgressShown());

  window->close();
  EXPECT_EQ(window->Project(), nullptr);
  EXPECT_EQ(TWaiter::LiveCount(), 0);
  EXPECT_EQ(Local("big.bin"), "old");
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir / "site")) ++entries;
  EXPECT_EQ(entries, 2);  // big.bin and the project file: no partial download
  EXPECT_TRUE(errors.empty());
  // Saved connected: the next start connects at once.
  Start((dir / "site/site.rvlp").string());
  EXPECT_EQ(Panel(0), "Connecting...");
  ASSERT_TRUE(Settled([&] { return window->StrategyKind() == skConnected; }));
  EXPECT_EQ(State("big.bin"), nsExpired);
}

TEST_F(FolderFrmTest, DroppedFilesGoIntoTheShownOrTheHighlightedFolderAndShowFresh) {
  StartFtp();
  dir.CreateFile("site/docs/keep.txt", "k");
  Start(MakeProject(ftp->HostPort(), TFtpTestServer::kPassword));
  ASSERT_TRUE(Settled([&] { return Row("docs").isValid(); }));
  const auto urls = [](const std::vector<fs::path>& paths) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> list;
    for (const fs::path& path : paths) list << QUrl::fromLocalFile(Qs(path.string()));
    data->setUrls(list);
    return data;
  };
  const fs::path moved = dir.CreateFile("desk/a b%é.txt", "A");
  // Empty: no progress dialog, which Qt paints in threads of its own.
  const fs::path copied = dir.CreateFile("desk/c.txt", "");

  // Same file system: a move by default, a copy with Control.
  EXPECT_EQ(DropOnList(*urls({moved}), {}), Qt::MoveAction);
  ASSERT_TRUE(RunUntil([&] { return !window->Dropping(); }));
  EXPECT_EQ(Local("a b%é.txt"), "A");
  EXPECT_FALSE(fs::exists(moved));
  ASSERT_TRUE(RunUntil([&] { return State("a b%é.txt") == nsFresh; }));

  EXPECT_EQ(DropOnList(*urls({copied}), Row("docs"), Qt::ControlModifier), Qt::CopyAction);
  EXPECT_EQ(window->FilesLvw().DropHighlight, QPersistentModelIndex(Row("docs")));
  EXPECT_EQ(window->FilesLvw().SelectedRows(), std::vector<QModelIndex>{Row("docs")});
  ASSERT_TRUE(RunUntil([&] { return !window->Dropping(); }));
  EXPECT_EQ(Local("docs/c.txt"), "");
  EXPECT_TRUE(fs::exists(copied));
#ifndef __SANITIZE_THREAD__

  // Again: the question comes while the progress dialog shows; its Cancel
  // ends the drop whatever the question is answered.
  dir.CreateFile("desk/c.txt", "C2");
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    auto* confirm = window->findChild<TConfirmReplaceFrm*>();
    if (!confirm->isVisible()) return;
    user.stop();
    window->findChild<TProgressFrm*>()->findChild<QPushButton*>("CancelBtn")->click();
    confirm->findChild<QPushButton*>("ReplaceBtn")->click();
  });
  user.start(5);
  EXPECT_EQ(DropOnList(*urls({copied}), Row("docs"), Qt::ControlModifier), Qt::CopyAction);
  ASSERT_TRUE(RunUntil([&] { return !window->Dropping(); }));
  EXPECT_EQ(Local("docs/c.txt"), "");
#endif

  // Anything but local files is refused.
  QMimeData text;
  text.setText(QStringLiteral("/etc/hosts"));
  EXPECT_EQ(DropOnList(*urls({}), {}), Qt::IgnoreAction);
  EXPECT_EQ(DropOnList(text, {}), Qt::IgnoreAction);
  auto remote = std::make_unique<QMimeData>();
  remote->setUrls({QUrl::fromLocalFile(Qs(copied.string())), QUrl(QStringLiteral("ftp://h/x"))});
  EXPECT_EQ(DropOnList(*remote, {}), Qt::IgnoreAction);

  // A folder onto itself is refused with a message.
  EXPECT_EQ(DropOnList(*urls({dir / "site/docs"}), Row("docs")), Qt::MoveAction);
  ASSERT_TRUE(RunUntil([&] { return !window->Dropping(); }));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0].starts_with("Cannot Move Folder")) << errors[0];
  EXPECT_EQ(dir.ReadFile("site/docs/keep.txt"), "k");
}

TEST_F(FolderFrmTest, DraggingOutCarriesTheSelectedLocalCopies) {
  StartFtp();
  dir.CreateFile("site/a b%é.txt", "A");
  dir.CreateFile("site/docs/keep.txt", "k");
  Start(MakeProject(ftp->HostPort(), TFtpTestServer::kPassword));
  ASSERT_TRUE(Settled([&] { return Row("docs").isValid() && Row("a b%é.txt").isValid(); }));
  window->FilesLvw().Selection()->select(Row("docs"), QItemSelectionModel::Select);
  window->FilesLvw().Selection()->select(Row("a b%é.txt"), QItemSelectionModel::Select);
  const std::vector<std::string> paths{(dir / "site/docs").string(),
                                       (dir / "site/a b%é.txt").string()};
  const std::unique_ptr<QMimeData> data = window->DragMimeData();
  // Qt's own reading of the URI list, and our block.
  EXPECT_EQ(data->urls(),
            (QList<QUrl>{QUrl::fromLocalFile(Qs(paths[0])), QUrl::fromLocalFile(Qs(paths[1]))}));
  EXPECT_EQ(DraggedFiles(*data), paths);
  EXPECT_EQ(DecodeFileList(data->data("application/x-ravelo-file-list").toStdString()), paths);
}

TEST_F(FolderFrmTest, AFailedSaveOnCloseIsShown) {
  StartFtp();
  Start(MakeProject(ftp->HostPort(), TFtpTestServer::kPassword));
  ASSERT_TRUE(Settled());
  dir.CreateFile("site/site.rvlp.new/in the way");
  window->close();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(
      errors[0].starts_with("Project '" + (dir / "site/site.rvlp").string() + "' Was Not Saved: "))
      << errors[0];
}

TEST_F(FolderFrmTest, ALoginErrorShowsWithoutThePassword) {
  test::TScriptedFtpServer server;
  server.Send("220 ready").Answer("AUTH TLS", "500 unknown command");
  server.Answer("USER", "331 password please");
  server.Answer("PASS", "530 Login incorrect: \"pass-word-9\" is wrong");
  server.Start();
  Start(MakeProject(server.HostPort(), "pass-word-9"));
  window->Action(aiConnect)->trigger();
  ASSERT_TRUE(Settled([&] { return Panel(0) == "Disconnected"; }));
  EXPECT_EQ(window->StrategyKind(), skDisconnected);
  EXPECT_EQ(Panel(2), "Error: Login incorrect.");
  EXPECT_EQ(window->ChooseProjectFrm().findChild<QLineEdit*>("PasswordEdt")->echoMode(),
            QLineEdit::Password);
}

TEST_F(FolderFrmTest, ACertificateThatDoesNotVerifyIsAskedAboutAndAcceptedForTheProject) {
  StartFtp(0, TFtpTestServer::kSelfSigned);
  std::vector<std::string> questions;
  bool accept = false;
  SetQuestionBox([&](QWidget*, const QString& question) {
    questions.push_back(Std(question));
    return accept;
  });
  const std::string file = MakeProject(ftp->HostPort(), TFtpTestServer::kPassword);
  Start(file);
  ASSERT_TRUE(Settled());
  for (const bool answer : {false, true}) {
    accept = answer;
    window->Action(aiConnect)->trigger();
    ASSERT_TRUE(Settled([&] { return questions.size() == (answer ? 2u : 1u); }));
    EXPECT_NE(questions.back().find(GroupedFingerprint(ftp->Fingerprint())), std::string::npos);
    if (!answer) {
      EXPECT_EQ(Panel(0), "Disconnected");
      EXPECT_TRUE(Panel(2).starts_with("Error: Server Certificate Not Trusted")) << Panel(2);
      EXPECT_EQ(window->Project()->AcceptedFingerprint(), "");
    }
  }
  ASSERT_TRUE(Settled([&] { return window->StrategyKind() == skConnected; }));
  EXPECT_EQ(Panel(0), "Connected (TLS)");
  EXPECT_EQ(window->Project()->AcceptedFingerprint(), ftp->Fingerprint());
  EXPECT_EQ(TProjectHeader::CreateFromFile(file).AcceptedFingerprint, ftp->Fingerprint());
  SetQuestionBox({});
  EXPECT_TRUE(errors.empty());
}

TEST_F(FolderFrmTest, KnownProjectsSwitchAndAMissingOneIsForgotten) {
  StartFtp();
  const std::string first = MakeProject(ftp->HostPort(), TFtpTestServer::kPassword);
  const std::string second = (dir / "other/other.rvlp").string();
  ASSERT_TRUE(TProject::Create(ftp->HostPort(), "u", "p", "", second)->Save());
  Start(second);
  ASSERT_TRUE(Settled());
  window->close();  // the first run knows one project: "other"
  Start(first);
  ASSERT_TRUE(Settled());
  QComboBox& projects = window->ProjectsCbx();
  ASSERT_EQ(projects.count(), 2);
  EXPECT_EQ(projects.currentText(), "site");
  EXPECT_EQ(window->windowTitle(), "site - Ravelo");

  // Edit Project starts from the open project's own settings.
  QTimer::singleShot(0, window.get(), [&] {
    TChooseProjectFrm& chooser = window->ChooseProjectFrm();
    EXPECT_EQ(chooser.findChild<QLineEdit*>("LoginEdt")->text(), TFtpTestServer::kUser);
    chooser.findChild<QLineEdit*>("HostEdt")->setText(QStringLiteral("example.org:2121"));
    chooser.accept();
  });
  window->Action(aiEditProject)->trigger();
  EXPECT_EQ(window->Project()->Host(), "example.org:2121");

  fs::remove(second);
  projects.activated(0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "Project '" + (dir / "other/").string() + "' Doesn't Exist");
  ASSERT_EQ(projects.count(), 1);
  EXPECT_EQ(projects.currentText(), "site");
  EXPECT_EQ(window->Project()->FileName(), first);
}

TEST_F(FolderFrmTest, WithoutAProjectTheChooserOpensAndCancellingEnds) {
  const auto damaged = dir.CreateFile("broken/broken.rvlp", "\x02");
  window = std::make_unique<TFolderFrm>();
  Show();
  QString folder;
  QTimer::singleShot(0, window.get(), [&] {
    folder = window->ChooseProjectFrm().findChild<QComboBox*>("LocalFolderCbx")->currentText();
    window->ChooseProjectFrm().reject();
  });
  EXPECT_FALSE(window->Start(damaged.string()));
  EXPECT_EQ(Std(folder), (dir / "broken").string());
  EXPECT_EQ(errors, std::vector<std::string>{"Неверный Формат Проекта"});
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(window->Action(aiOpenProject)->isEnabled());
  EXPECT_FALSE(window->Action(aiConnect)->isEnabled());
}

}  // namespace
}  // namespace ravelo
