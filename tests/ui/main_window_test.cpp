// The main window as it opens: its controls by name, their texts and states, the status
// bar, the pop-up menu and the lists' columns; and the list model behind the views.
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMenu>
#include <QSignalSpy>
#include <QTabWidget>

#include "tests/ui/ui_fixture.h"
#include "ui/icons.h"

namespace corvane::test {
namespace {

class MainWindowTest : public GuiTest {};

TEST_F(MainWindowTest, EveryControlIsThereWithItsState) {
  MainWindow& w = open_window();
  EXPECT_EQ(w.windowTitle(), qt("Corvane个人云网盘客户端版"));
  EXPECT_EQ(w.pos(), QPoint(50, 50));
  EXPECT_EQ(w.height(), 470 - 24);  // the designed outer height less caption and borders
  EXPECT_EQ(w.width(), 800 - 6);

  struct Control {
    const char* name;
    bool enabled;
    const char* caption;  // picture buttons
  } controls[] = {
      {"图形按钮_上传", false, "上传"},         {"图形按钮_下载", false, "下载"},
      {"图形按钮_新建目录", false, "新建目录"}, {"图形按钮_刷新", false, "刷新"},
      {"图形按钮_删除", false, "删除"},         {"图形按钮_任务列表", false, "任务列表"},
      {"图形按钮_在线列表", false, "在线列表"}, {"图形按钮_下载记录", false, "下载记录"},
      {"图形按钮_恢复删除文件", false, "恢复删除"}, {"图形按钮_登录", true, "登录"},
      {"图形按钮_退出", true, "退出"},
  };
  int previous_x = -1;
  for (const Control& c : controls) {
    auto* b = child<PictureButton>(&w, c.name);
    if (!b) continue;
    EXPECT_EQ(b->isEnabled(), c.enabled) << c.name;
    EXPECT_EQ(b->look().caption, qt(c.caption)) << c.name;
    EXPECT_EQ(b->size(), QSize(55, 25)) << c.name;
    EXPECT_GT(b->x(), previous_x) << c.name;  // left to right in the order of the toolbar
    previous_x = b->x();
    EXPECT_FALSE(render_picture(b->look().normal, b->size(), 1).isNull()) << c.name;
    EXPECT_FALSE(render_picture(b->look().hot, b->size(), 1).isNull()) << c.name;
  }
  EXPECT_EQ(child<PictureButton>(&w, "图形按钮_上传")->pos(), QPoint(4, 1));
  EXPECT_EQ(child<PictureButton>(&w, "图形按钮_退出")->geometry().right() + 1, w.width());

  for (const char* name : {"图片框3", "透明标签_用户显示", "选择夹1", "超级列表框", "超级列表框_任务列表",
                           "透明标签_加载提示", "状态条", "编辑框_隐藏账号", "编辑框_隐藏密码", "超级菜单1",
                           "右键菜单"})
    EXPECT_NE(w.findChild<QObject*>(QString::fromUtf8(name)), nullptr) << name;
  EXPECT_FALSE(w.编辑框_隐藏账号->isVisible());
  EXPECT_FALSE(w.编辑框_隐藏密码->isVisible());
  EXPECT_FALSE(w.透明标签_加载提示->isVisible());
  EXPECT_EQ(w.透明标签_加载提示->text(), qt("正在加载中..."));
  EXPECT_FALSE(w.超级列表框->isEnabled());

  ASSERT_EQ(w.选择夹1->count(), 2);
  EXPECT_EQ(w.选择夹1->tabText(0), qt("网盘目录"));
  EXPECT_EQ(w.选择夹1->tabText(1), qt("下载任务"));
  EXPECT_EQ(w.选择夹1->currentIndex(), 0);

  const std::pair<const char*, int> parts[] = {
      {" 提示信息:", 70}, {"", 380}, {"权限:", 40}, {"", 90}, {"空间:---M 剩余:---M 在线:-人", 220}};
  ASSERT_EQ(w.状态条->part_count(), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(status(i), parts[i].first) << i;
    if (i < 4)
      EXPECT_EQ(w.状态条->part_label(i)->width(), parts[i].second) << i;
    else
      EXPECT_LE(w.状态条->part_label(i)->width(), parts[i].second);
  }

  QStringList items;
  for (QAction* a : w.右键菜单->actions()) items << a->text();
  EXPECT_EQ(items, (QStringList{qt("刷新目录"), qt("删    除"), qt("编    辑"), qt("复制地址")}));
}

TEST_F(MainWindowTest, ListColumnsHaveTheirTitlesAndWidths) {
  MainWindow& w = open_window();
  struct Column {
    const char* title;
    int width;
  };
  const Column files[] = {{"文件名称", 350}, {"大小", 80}, {"修改时间", 150}, {"属性ID", 80}, {"", 88}};
  const Column tasks[] = {{"下载/上传文件名称", 320}, {"下载/上传进度(%)", 150},
                          {"上传/下载速度(KB)", 150}, {"任务名称(下载/上传)", 170}};
  auto check = [](ListView* view, const Column* columns, int n) {
    ASSERT_EQ(view->list().columnCount(), n);
    for (int c = 0; c < n; ++c) {
      EXPECT_EQ(utf8(view->list().column_title(c)), columns[c].title) << c;
      EXPECT_EQ(view->header()->sectionSize(c), columns[c].width) << c;
    }
  };
  check(w.超级列表框, files, 5);
  check(w.超级列表框_任务列表, tasks, 4);
  // Sizes, times and ids are centred in the file list; the task list is left-aligned.
  EXPECT_EQ(w.超级列表框->list().headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() &
                Qt::AlignHorizontal_Mask,
            Qt::AlignHCenter);
}

TEST_F(MainWindowTest, ListsGrowWithTheWindow) {
  MainWindow& w = open_window();
  QApplication::processEvents();
  const QSize list_before = w.超级列表框->size();
  const QSize window_before = w.size();
  const int bar_before = w.状态条->height();
  w.resize(1000, 700);
  QApplication::processEvents();
  EXPECT_EQ(w.状态条->height(), bar_before);
  EXPECT_EQ(w.超级列表框->width() - list_before.width(), 1000 - window_before.width());
  // (the tab widget may round its page by a pixel)
  EXPECT_NEAR(w.超级列表框->height() - list_before.height(), 700 - window_before.height(), 1);
  EXPECT_EQ(w.图形按钮_退出->geometry().right() + 1, 1000);  // the right-hand group follows
}

TEST_F(MainWindowTest, UploadDialogOffersEveryFile) {
  MainWindow& w = open_window();
  const TempDir files;
  write_file(files.path() / "noext", "x");
  ModalScript script;
  script.then([&](QWidget* d) {
    auto* dialog = qobject_cast<QFileDialog*>(d);
    ASSERT_NE(dialog, nullptr) << d->metaObject()->className();
    // Whatever fails below, the dialog closes and the test goes on.
    struct Closer {
      QFileDialog* d;
      ~Closer() {
        if (d->isVisible()) d->reject();
      }
    } closer{dialog};
    EXPECT_EQ(dialog->objectName(), qt("通用对话框1"));
    EXPECT_EQ(dialog->windowTitle(), qt("选择要上传的文件"));
    EXPECT_EQ(dialog->nameFilters(), QStringList{qt("所有文件(*.*)")});
    auto* model = dialog->findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    EXPECT_TRUE(model->nameFilters().isEmpty());  // a name without a dot is offered too
    dialog->setDirectory(QString::fromStdString(files.str()));
    dialog->selectFile(QString::fromStdString((files.path() / "noext").string()));
    static_cast<QDialog*>(dialog)->done(QDialog::Accepted);  // no wait for the file list
  });
  EXPECT_EQ(w.choose_upload_file(), (files.path() / "noext").string());
  // Cancelled: no path.
  script.then([](QWidget* d) { qobject_cast<QDialog*>(d)->reject(); });
  EXPECT_EQ(w.choose_upload_file(), "");
  EXPECT_TRUE(script.done());
}

TEST(ListModelTest, TenThousandRowsAreOneReset) {
  ListModel model(5);
  QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
  QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
  std::vector<ListRow> rows;
  for (int i = 0; i < 10000; ++i) rows.push_back({{"f" + std::to_string(i), "1KB", "t", std::to_string(i), "-"}, i % 11});
  model.set_rows(std::move(rows));
  EXPECT_EQ(resets.count(), 1);
  EXPECT_EQ(inserts.count(), 0);
  EXPECT_EQ(model.row_count(), 10000);
  EXPECT_EQ(model.cell(9999, 3), "9999");
  EXPECT_EQ(model.icon(12), 1);
}

TEST(ListModelTest, CellsReadBackAsStoredAndOutsideReadsEmpty) {
  ListModel model(3);
  const std::string gbk_name = gbk("返回上一级.");
  EXPECT_EQ(model.append_row({{gbk_name, "-"}, 4}), 0);
  EXPECT_EQ(model.append_row({{"b", "2KB", "x"}, 0}), 1);
  EXPECT_EQ(model.cell(0, 0), gbk_name);
  EXPECT_EQ(model.cell(0, 2), "");  // a missing cell
  EXPECT_EQ(model.cell(5, 0), "");
  EXPECT_EQ(model.cell(-1, 0), "");
  EXPECT_EQ(model.data(model.index(0, 0)).toString(), qt("返回上一级."));
  model.set_cell(1, 1, "3KB");
  EXPECT_EQ(model.cell(1, 1), "3KB");
  model.set_cell(7, 1, "ignored");  // outside: no row appears
  EXPECT_EQ(model.row_count(), 2);
  model.remove_row(0);
  EXPECT_EQ(model.cell(0, 0), "b");
  model.clear();
  EXPECT_EQ(model.row_count(), 0);
}

TEST(ListIconsTest, ElevenIconsOfSixteenPixels) {
  for (int i = 0; i < LIST_ICON_COUNT; ++i) {
    const QIcon icon = list_icon(i);
    ASSERT_FALSE(icon.isNull()) << i;
    EXPECT_EQ(icon.pixmap(16, 16).deviceIndependentSize().toSize(), QSize(16, 16)) << i;
  }
  EXPECT_TRUE(list_icon(11).isNull());
  EXPECT_TRUE(list_icon(-1).isNull());
}

}  // namespace
}  // namespace corvane::test
