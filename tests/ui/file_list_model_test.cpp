#include "ui/file_list_model.h"

#include <QSignalSpy>
#include <QTest>

#include "sync/syn_file.h"
#include "sync/syn_folder.h"
#include "ui/file_icons.h"

namespace ravelo {

// Rows for real nodes of a small tree, shown as the connected strategy
// would show them.
class FileListModelTest : public QObject {
  Q_OBJECT

 private:
  void Show(TNode& node, TPresence local = prPresent, TNodeState state = nsSynchronized) {
    const TNodeFacts facts{node.Name(), dynamic_cast<TBranch*>(&node) != nullptr, local, state, "1",
                           ""};
    model->Show(node, facts, NodeView(skConnected, facts));
  }
  QStringList Names() const {
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row)
      names << model->index(row, 0).data().toString();
    return names;
  }

  std::unique_ptr<TSynFolder> root;
  TFileIcons icons;
  std::unique_ptr<TFileListModel> model;

 private slots:
  void init() {
    root = std::make_unique<TSynFolder>(nullptr, "");
    model = std::make_unique<TFileListModel>(icons);
  }
  void cleanup() {
    model.reset();
    TNode::ReleaseRoot(std::move(root));
  }

  void rowsKeepTheListOrderAsNodesComeAndChange() {
    TSynFile& b = root->MakeChild<TSynFile>("b.txt");
    TSynFolder& zeta = root->MakeChild<TSynFolder>("zeta");
    TSynFile& a = root->MakeChild<TSynFile>("A.txt");
    for (TNode* node : std::initializer_list<TNode*>{&b, &zeta, &a}) Show(*node);
    QCOMPARE(Names(), (QStringList{"zeta", "A.txt", "b.txt"}));
    const QPersistentModelIndex selected = model->IndexOf(b);

    root->RenameChild(b, "0.txt");
    Show(b, prAbsent, nsNotCached);  // moves up, dimmed, same row object
    QCOMPARE(Names(), (QStringList{"zeta", "0.txt", "A.txt"}));
    QCOMPARE(selected.row(), 1);
    QCOMPARE(model->NodeAt(selected), &b);
    QVERIFY(model->data(selected, Qt::ForegroundRole).isValid());
    QCOMPARE(model->data(selected, Qt::ToolTipRole).toString(), QStringLiteral("Not Cached"));
    QCOMPARE(model->data(model->index(1, TFileListModel::kSizeColumn), Qt::DisplayRole),
             QVariant(QStringLiteral("1")));

    const TNodeFacts gone{"A.txt", false, prAbsent, nsNotCached, "", ""};
    model->Show(a, gone, NodeView(skDisconnected, gone));  // not listed while disconnected
    QCOMPARE(Names(), (QStringList{"zeta", "0.txt"}));
    QVERIFY(model->IsFolder(model->IndexOf(zeta)));
    QVERIFY(!model->IndexOf(a).isValid());
  }

  void keepsOnlyTheShownFoldersChildren() {
    TSynFolder& sub = root->MakeChild<TSynFolder>("sub");
    TSynFile& inner = sub.MakeChild<TSynFile>("inner.txt");
    Show(sub);
    Show(inner);
    model->KeepChildrenOf(sub);
    QCOMPARE(Names(), QStringList{"inner.txt"});
    model->Remove(inner);
    QCOMPARE(model->rowCount(), 0);
  }

  void anInPlaceEditShowsAtOnceAndAsksForTheRename() {
    TSynFile& file = root->MakeChild<TSynFile>("New File");
    Show(file);
    QSignalSpy renames(model.get(), &TFileListModel::RenameRequested);
    const QModelIndex name = model->IndexOf(file);
    QVERIFY(model->flags(name).testFlag(Qt::ItemIsEditable));
    QVERIFY(!model->setData(name, QString(), Qt::EditRole));
    QVERIFY(!model->setData(name, QStringLiteral("New File"), Qt::EditRole));
    QVERIFY(model->setData(name, QStringLiteral("index.html"), Qt::EditRole));
    QCOMPARE(renames.size(), 1);
    QCOMPARE(renames[0][1].toString(), QStringLiteral("index.html"));
    QCOMPARE(model->data(model->IndexOf(file), Qt::DisplayRole).toString(),
             QStringLiteral("index.html"));
    QCOMPARE(model->Captions(), std::vector<std::string>{"index.html"});
  }
};

}  // namespace ravelo

QTEST_MAIN(ravelo::FileListModelTest)
#include "file_list_model_test.moc"
