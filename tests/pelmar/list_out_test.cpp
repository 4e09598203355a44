// Lists out and names in the window, offscreen with the stand-in library:
// Ctrl+C copies the selected row, Ctrl+F filters and Escape restores the
// layout, the export writes files that parse back, and names and notes set
// from the row menu show in tooltips and exports and survive the next run.
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "csv_read.h"
#include "list_filter.h"
#include "name_note_dlg.h"
#include "window_fixture.h"

namespace pelmar_test {
namespace {

using pelmar::CMainDlg;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Where screenshots go when asked for (PELMAR_SHOT_DIR); nothing otherwise.
void Shot(QWidget& widget, const char* name) {
  const char* folder = std::getenv("PELMAR_SHOT_DIR");
  if (!folder || !*folder) return;
  EXPECT_TRUE(widget.grab().save(QString::fromUtf8(folder) + "/" + name));
}

class ListOut : public WindowTest {
 protected:
  void Start(CMainDlg& w, const std::vector<fake::Module>& modules) {
    SetAnswers(modules);
    ASSERT_TRUE(w.Initialise());
    ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == static_cast<int>(modules.size()); }));
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(Until([&] { return w.isActiveWindow(); }));
  }
  int RowOf(CMainDlg& w, const QString& ip) {
    for (int r = 0; r < w.moduleList()->rowCount(); ++r)
      if (w.moduleList()->CellText(r, pelmar::kColumnIp) == ip) return r;
    return -1;
  }
  // Chooses "Name and note..." in the row menu and fills the dialog.
  void NameRow(CMainDlg& w, int row, const QString& name, const QString& note,
               const char* shot = nullptr) {
    test_support::AnswerPopup<QMenu>("the row menu", [](QMenu& menu) {
      for (QAction* a : menu.actions())
        if (a->text() == "Name and note...") menu.setActiveAction(a);
      QTest::keyClick(&menu, Qt::Key_Return);
    });
    test_support::AnswerModal<pelmar::CNameNoteDlg>("the name dialog", [=](pelmar::CNameNoteDlg& d) {
      d.nameEdit()->setText(name);
      d.noteEdit()->setPlainText(note);
      if (shot) Shot(d, shot);
      d.accept();
    });
    EXPECT_EQ(w.RunRowMenu(row, QPoint(10, 10)), CMainDlg::kCommandNameNote);
    // Shortcuts need the window active again after the dialog.
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(Until([&] { return w.isActiveWindow(); }));
  }
};

TEST_F(ListOut, CtrlCCopiesTheSelectedRowWithAHeader) {
  CMainDlg w("", options);
  Start(w, {MakeModule(1, "10.0.0.1", "A"), MakeModule(2, "10.0.0.2", "Type, \"quoted\"\tx")});
  QApplication::clipboard()->setText("before");
  w.moduleList()->setFocus();
  QTest::keyClick(w.moduleList(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "before");  // nothing selected: nothing copied

  w.moduleList()->SelectRow(RowOf(w, "10.0.0.2"));
  QTest::keyClick(w.moduleList(), Qt::Key_C, Qt::ControlModifier);
  const QStringList lines = QApplication::clipboard()->text().split('\n');
  ASSERT_EQ(lines.size(), 3) << lines.join("|").toStdString();  // header, row, ""
  EXPECT_EQ(lines[0], "IP\tSN\tGW\tDHCP\tVersion\tType\tMAC\tStatus\tName\tNote");
  const QStringList cells = lines[1].split('\t');
  ASSERT_EQ(cells.size(), 10);
  EXPECT_EQ(cells[0], "10.0.0.2");
  EXPECT_EQ(cells[5], "Type, \"quoted\" x");
  EXPECT_EQ(cells[6], "02-00-00-00-00-02");
}

TEST_F(ListOut, CtrlFFiltersEscapeRestoresTheLayout) {
  CMainDlg w("", options);
  Start(w, {MakeModule(1, "10.0.0.1", "Alpha"), MakeModule(2, "10.0.0.2", "Beta"),
            MakeModule(3, "10.0.0.3", "alphabet")});
  pelmar::ListFilterField* filter = w.listFilter();
  const QRect listBefore = w.moduleList()->geometry();
  ASSERT_FALSE(filter->isVisible());

  QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(filter->isVisible());
  EXPECT_TRUE(filter->hasFocus());
  EXPECT_LT(filter->geometry().bottom(), w.moduleList()->geometry().top());
  EXPECT_EQ(w.moduleList()->geometry().bottom(), listBefore.bottom());
  QTest::keyClicks(filter, "ALPHA");
  EXPECT_EQ(filter->shownRows(), 2);
  // A row that arrives meanwhile is filtered too.
  w.moduleList()->AddModuleRow([] {
    pelmar::ModuleRecord r;
    r.macValid = true;
    r.mac[0] = 2, r.mac[5] = 9;
    r.typeValid = true;
    std::strcpy(r.typeText, "Gamma");
    return r;
  }());
  EXPECT_EQ(filter->shownRows(), 2);
  QTest::keyClicks(filter, "BET");
  EXPECT_EQ(filter->shownRows(), 1);
  Shot(w, "lists-filter-shown.png");
  // Enter goes to the list; it does not press Scan, which would empty it.
  const size_t discovers = Discovers();
  QTest::keyClick(filter, Qt::Key_Return);
  EXPECT_EQ(Discovers(), discovers);
  EXPECT_TRUE(w.moduleList()->hasFocus());
  EXPECT_TRUE(filter->isVisible());
  filter->setFocus();

  QTest::keyClick(filter, Qt::Key_Escape);
  EXPECT_FALSE(filter->isVisible());
  EXPECT_EQ(filter->shownRows(), 4);
  EXPECT_EQ(w.moduleList()->geometry(), listBefore);
  EXPECT_TRUE(w.isVisible());  // Escape closed the filter, not the window

  // Emptied by hand: hidden as well.
  QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
  QTest::keyClicks(filter, "10.0.0.3");
  EXPECT_EQ(filter->shownRows(), 1);
  for (int i = 0; i < 8; ++i) QTest::keyClick(filter, Qt::Key_Backspace);
  EXPECT_FALSE(filter->isVisible());
  EXPECT_EQ(filter->shownRows(), 4);
  EXPECT_EQ(w.moduleList()->geometry(), listBefore);
}

TEST_F(ListOut, NamesShowInTooltipAndExportAndSurviveTheNextRun) {
  {
    CMainDlg w("", options);
    Start(w, {MakeModule(1, "10.0.0.1", "=cmd|' /C calc'!A0"), MakeModule(2, "10.0.0.2", "B")});
    NameRow(w, RowOf(w, "10.0.0.2"), "Press 1", "left,\nof \"door\"", "lists-name-and-note-dialog.png");
    const QModelIndex cell = w.moduleList()->model()->index(RowOf(w, "10.0.0.2"), 3);
    EXPECT_EQ(cell.data(Qt::ToolTipRole).toString(), "Name: Press 1\nNote: left,\nof \"door\"");
    EXPECT_FALSE(w.moduleList()->model()->index(RowOf(w, "10.0.0.1"), 0).data(Qt::ToolTipRole).isValid());
    // The Status cell: a read-back state comes before the name.
    EXPECT_EQ(w.moduleList()->CellText(RowOf(w, "10.0.0.2"), pelmar::kColumnStatus), "Press 1");
    const auto& readBackRow = w.moduleList()->listModel()->row(RowOf(w, "10.0.0.2"));
    w.moduleList()->listModel()->SetRowNote(readBackRow.mac, readBackRow.secure, "confirmed");
    EXPECT_EQ(w.moduleList()->CellText(RowOf(w, "10.0.0.2"), pelmar::kColumnStatus),
              "confirmed, Press 1");

    // The filter finds the row by its name.
    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(w.listFilter(), "press");
    EXPECT_EQ(w.listFilter()->shownRows(), 1);
    QTest::keyClick(w.listFilter(), Qt::Key_Escape);

    // The export dialog: a CSV file chosen by name.
    const std::string csvPath = folder + "/list.csv";
    test_support::AnswerModal<QFileDialog>("the export dialog", [&](QFileDialog& d) {
      d.setDirectory(QString::fromStdString(folder));
      // Typed as a user would, over the name the dialog proposes.
      auto* name = d.findChild<QLineEdit*>("fileNameEdit");
      ASSERT_NE(name, nullptr);
      name->setText("list.csv");
      static_cast<QDialog&>(d).accept();  // QFileDialog::accept checks the name
    });
    QTest::keyClick(&w, Qt::Key_E, Qt::ControlModifier);
    std::vector<std::vector<std::string>> csv;
    ASSERT_TRUE(test_csv::ReadCsv(ReadFile(csvPath), csv)) << ReadFile(csvPath);
    ASSERT_EQ(csv.size(), 3u);
    EXPECT_EQ(csv[0].size(), 10u);
    const auto& named = csv[1][0] == "10.0.0.2" ? csv[1] : csv[2];
    const auto& hostile = csv[1][0] == "10.0.0.2" ? csv[2] : csv[1];
    EXPECT_EQ(named[7], "confirmed, Press 1");
    EXPECT_EQ(named[8], "Press 1");
    EXPECT_EQ(named[9], "left,\nof \"door\"");
    EXPECT_EQ(hostile[5], "'=cmd|' /C calc'!A0");  // never a formula

    const std::string jsonPath = folder + "/list.json";
    ASSERT_TRUE(w.ExportList(QString::fromStdString(jsonPath)));
    const nlohmann::json json = nlohmann::json::parse(ReadFile(jsonPath));
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[0]["ip"], "10.0.0.1");
    EXPECT_EQ(json[1]["name"], "Press 1");
    EXPECT_EQ(json[1]["mac"], "02-00-00-00-00-02");
    for (const auto& module : json) EXPECT_EQ(module.size(), 10u);
    EXPECT_FALSE(w.ExportList(QString::fromStdString(folder + "/no/such/folder/x.csv")));
    ASSERT_FALSE(messages.empty());
    EXPECT_TRUE(messages.back().text.startsWith("The list could not be written"));
  }
  // The next run reads the names back.
  messages.clear();
  CMainDlg next("", options);
  Start(next, {MakeModule(2, "10.0.0.2", "B")});
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(next.ExportRowAt(0).name, "Press 1");
  // Emptying both removes the entry.
  NameRow(next, 0, "", "");
  EXPECT_EQ(next.names().size(), 0u);
  EXPECT_EQ(ReadFile(next.namesPath()), "# Pelmar module names 1\n");
}

TEST_F(ListOut, DamagedNamesFileIsIgnoredWithAWarningAndKeptAside) {
  std::ofstream(folder + "/names.txt") << "# Pelmar module names 1\nnot a line\n";
  CMainDlg w("", options);
  Start(w, {MakeModule(2, "10.0.0.2", "B")});
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Warning");
  EXPECT_TRUE(messages[0].text.contains("damaged")) << messages[0].text.toStdString();
  EXPECT_EQ(w.names().size(), 0u);
  NameRow(w, 0, "fresh", "");
  EXPECT_EQ(ReadFile(folder + "/names.txt.damaged"), "# Pelmar module names 1\nnot a line\n");
  EXPECT_NE(ReadFile(folder + "/names.txt").find("fresh"), std::string::npos);
}

}  // namespace
}  // namespace pelmar_test
