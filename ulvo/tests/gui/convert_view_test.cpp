#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <fstream>

#include "ulvo/engine/text_codec.h"
#include "ulvo/gui/cconvert_view.h"
#include "ulvo/gui/cmerge_view.h"
#include "ulvo/gui/gis_dialog.h"
#include "ulvo/gui/id_name_combo.h"
#include "ulvo/gui/main_frame.h"
#include "ulvo/shell/translations.h"
#include "ulvo/tests/gui/gui_test_support.h"

namespace ulvo {
namespace {

// Records every message; the overwrite question takes the queued answers and fails the test
// when none is queued.
class ScriptedConversionPrompts : public ConversionPrompts {
 public:
  void ShowMessage(const Message& m) override {
    shown.push_back(FormatMessage(m.text.defaultText, m.argument));
  }
  bool AskReplace(const Message& q) override {
    asked.push_back(FormatMessage(q.text.defaultText, q.argument));
    if (answers.empty()) {
      ADD_FAILURE() << "unexpected question";
      return false;
    }
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  std::deque<bool> answers;
  std::vector<std::string> shown;
  std::vector<std::string> asked;
};

const char* kSettings =
    "<settings><conversion><xmleditor name=\"\"/><types>"
    "<type id=\"POINTS\" name=\"Point lists\"/><type id=\"ITF00\" name=\"ITF00 block streams\"/>"
    "</types><dialog><from><type id=\"POINTS\"/><format name=\"POINT LIST (COMMA-SEPARATED)\"/>"
    "<file name=\"/in.csv\"/></from><to><type id=\"ITF00\"/><format name=\"nothing\"/>"
    "<file name=\"\"/></to></dialog></conversion></settings>";

class ConvertViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    folder = std::filesystem::temp_directory_path() /
             ("ulvo_convert_view_test-" +
              std::to_string(getpid()));  // tests of one fixture run side by side
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "Formats");
    for (const auto& entry : std::filesystem::directory_iterator(ULVO_SHIPPED_DATA_DIR "/Formats"))
      std::filesystem::copy_file(entry.path(), folder / "Formats" / entry.path().filename());
    formats.Refresh(folder);
    ASSERT_TRUE(document.load_string(kSettings));
    context.programFolder = folder;
    context.formats = &formats;
    context.settings = [this] { return document.document_element(); };
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  std::unique_ptr<CConvertView> Open() {
    auto view = std::make_unique<CConvertView>(context);
    view->SetPrompts(&prompts);
    return view;
  }
  void Write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void Choose(IdNameCombo* type, const std::string& id) {
    ASSERT_TRUE(type->SelectId(id));
    emit type->activated(type->currentIndex());
  }
  static void ChooseFormat(QComboBox* list, const char* name) {
    list->setCurrentIndex(list->findText(QString::fromLatin1(name)));
    ASSERT_GE(list->currentIndex(), 0) << name;
  }

  std::filesystem::path folder;
  FormatList formats;
  pugi::xml_document document;
  TaskContext context;
  ScriptedConversionPrompts prompts;
};

TEST_F(ConvertViewTest, OpensWithTheStoredSelections) {
  auto view = Open();
  EXPECT_EQ(view->windowTitle(), "Convert");
  EXPECT_EQ(view->SourceType()->SelectedId(), "POINTS");
  EXPECT_EQ(view->SourceType()->currentText(), "Point lists");
  // Found without regard to letter case; the list is sorted the same way.
  EXPECT_EQ(view->SourceFormat()->currentText(), "Point list (comma-separated)");
  EXPECT_EQ(view->SourceFormat()->count(), 3);
  EXPECT_EQ(view->SourceFormat()->itemText(1), "Point list (example to edit)");
  EXPECT_EQ(view->SourceFormat()->itemText(2), "Point list (fixed columns)");
  EXPECT_EQ(view->SourceFile()->text(), "/in.csv");
  EXPECT_EQ(view->TargetType()->SelectedId(), "ITF00");
  EXPECT_EQ(view->TargetFormat()->count(), 1);
  EXPECT_EQ(view->TargetFormat()->currentIndex(), -1);  // "nothing" is not a format
}

// Identify, beside the source format: which formats read the source file, and the best one
// taken as the source when the user says so.
TEST_F(ConvertViewTest, IdentifyOffersTheFormatThatReadsTheFile) {
  auto view = Open();
  struct Shown {
    QString text, use;
  };
  std::vector<Shown> shown;
  bool useIt = false;
  view->SetIdentifyPresenter([&](const QString&, const QString& text, const QString& use) {
    shown.push_back({text, use});
    return useIt;
  });
  auto* identify = view->findChild<QPushButton*>(QStringLiteral("identify"));
  ASSERT_NE(identify, nullptr);
  EXPECT_EQ(identify->text(), "&Identify...");

  view->SourceFile()->clear();
  identify->click();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "Enter the source file name first.");
  EXPECT_EQ(shown[0].use, "");

  const std::string file = (folder / "job.itf").string();
  Write(file, "_+P1        _ x   +100500_ y   +200250_ z    +10000__");
  view->SourceFile()->setText(QString::fromStdString(file));
  for (bool use : {false, true}) {
    SCOPED_TRACE(use);
    useIt = use;
    identify->click();
    ASSERT_FALSE(shown.empty());
    EXPECT_TRUE(
        shown.back().text.startsWith(QString::fromStdString(file) +
                                     " is read whole by:\n"
                                     "  ITF00 coordinates (ITF00): 1 record(s), 4 value(s)\n"
                                     "Not read whole by:\n"))
        << shown.back().text.toStdString();
    EXPECT_EQ(shown.back().use, "Use ITF00 coordinates");
    // Declined, the source stays as it was; taken, it is the found format under its type.
    EXPECT_EQ(view->SourceType()->SelectedId(), use ? "ITF00" : "POINTS");
    EXPECT_EQ(view->SourceFormat()->currentText(),
              use ? "ITF00 coordinates" : "Point list (comma-separated)");
    EXPECT_EQ(view->SourceFile()->text().toStdString(), file);
  }
  // The target is not touched.
  EXPECT_EQ(view->TargetType()->SelectedId(), "ITF00");
  EXPECT_EQ(view->TargetFormat()->currentIndex(), -1);
}

TEST_F(ConvertViewTest, SourceTypeChangeSwitchesTheTargetAndClearsBothFormats) {
  auto view = Open();
  Choose(view->TargetType(), "POINTS");
  ChooseFormat(view->TargetFormat(), "Point list (fixed columns)");
  Choose(view->SourceType(), "ITF00");
  EXPECT_EQ(view->TargetType()->SelectedId(), "ITF00");
  EXPECT_EQ(view->SourceFormat()->currentIndex(), -1);
  EXPECT_EQ(view->TargetFormat()->currentIndex(), -1);
  EXPECT_EQ(view->TargetFormat()->itemText(0), "ITF00 coordinates");
  // A target type change leaves the source alone.
  ChooseFormat(view->SourceFormat(), "ITF00 coordinates");
  Choose(view->TargetType(), "POINTS");
  EXPECT_EQ(view->SourceFormat()->currentText(), "ITF00 coordinates");
  EXPECT_EQ(view->TargetFormat()->count(), 3);
}

TEST_F(ConvertViewTest, ConvertWithoutTargetFormatOrPathDoesNothing) {
  auto view = Open();
  Write(folder / "in.csv", "P1,1,2,3,\r\n");
  view->SourceFile()->setText(QString::fromStdString((folder / "in.csv").string()));
  view->TargetFile()->setText(QString::fromStdString((folder / "out.txt").string()));
  view->findChild<QPushButton*>(QStringLiteral("2001"))->click();
  Choose(view->TargetType(), "POINTS");
  ChooseFormat(view->TargetFormat(), "Point list (fixed columns)");
  view->TargetFile()->clear();
  view->Convert();
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_FALSE(std::filesystem::exists(folder / "out.txt"));
}

TEST_F(ConvertViewTest, ConvertsByteForByteAndAsksBeforeReplacing) {
  auto view = Open();
  Choose(view->TargetType(), "POINTS");
  ChooseFormat(view->TargetFormat(), "Point list (fixed columns)");
  Write(folder / "in.csv", "P1,1.5,-2.25,3,Mark\r\nP22,10,20,30,\r\n");
  const std::filesystem::path out = folder / "out.txt";
  Write(out, "keep");
  view->SourceFile()->setText(QString::fromStdString((folder / "in.csv").string()));
  view->TargetFile()->setText(QString::fromStdString(out.string()));

  prompts.answers = {false};
  view->Convert();
  EXPECT_EQ(Read(out), "keep");
  EXPECT_EQ(prompts.asked,
            std::vector<std::string>{out.string() +
                                     "\nThis file already exists.\nReplace existing file?"});
  EXPECT_TRUE(prompts.shown.empty());

  prompts.answers = {true};
  view->Convert();
  // Name in 10 columns, northing and easting right-aligned in 14, elevation in 12, three
  // decimals; a blank and the description when there is one.
  EXPECT_EQ(Read(out),
            "P1                 1.500        -2.250       3.000 Mark\r\n"
            "P22               10.000        20.000      30.000\r\n");
  EXPECT_EQ(prompts.shown, std::vector<std::string>{"Converted successfully"});
  EXPECT_TRUE(std::filesystem::exists(folder / "temp.xml"));
}

TEST_F(ConvertViewTest, MissingSettingNodesReadEmptyAndAreCreatedOnClose) {
  ASSERT_TRUE(document.load_string(
      "<settings><conversion><types><type id=\"POINTS\" name=\"Point lists\"/></types>"
      "</conversion></settings>"));
  {
    auto view = Open();
    EXPECT_EQ(view->SourceType()->currentIndex(), -1);
    EXPECT_EQ(view->SourceFormat()->count(), 0);  // no format without a type
    Choose(view->SourceType(), "POINTS");
    ChooseFormat(view->SourceFormat(), "Point list (comma-separated)");
    view->TargetFile()->setText(QStringLiteral("/tmp/out.txt"));
  }
  const pugi::xml_node dialog = document.document_element().child("conversion").child("dialog");
  EXPECT_STREQ(dialog.child("from").child("type").attribute("id").value(), "POINTS");
  EXPECT_STREQ(dialog.child("from").child("format").attribute("name").value(),
               "Point list (comma-separated)");
  EXPECT_STREQ(dialog.child("to").child("type").attribute("id").value(), "POINTS");
  EXPECT_STREQ(dialog.child("to").child("format").attribute("name").value(), "");
  EXPECT_STREQ(dialog.child("to").child("file").attribute("name").value(), "/tmp/out.txt");
}

TEST_F(ConvertViewTest, EditorEditsTheScratchFileWhileTheWindowKeepsRunning) {
  // The editor: a program given the scratch file as its one argument, no shell between.
  const std::filesystem::path editor = folder / "editor";
  Write(editor, "#!/bin/sh\nsleep 0.3\nsed -i 's/>P1</>Q1</' \"$1\"\n");
  std::filesystem::permissions(editor, std::filesystem::perms::owner_all);
  document.document_element().child("conversion").child("xmleditor").attribute("name") =
      editor.c_str();
  auto view = Open();
  Choose(view->TargetType(), "POINTS");
  ChooseFormat(view->TargetFormat(), "Point list (fixed columns)");
  Write(folder / "in.csv", "P1,1,2,3,\r\n");
  view->SourceFile()->setText(QString::fromStdString((folder / "in.csv").string()));
  view->TargetFile()->setText(QString::fromStdString((folder / "out.txt").string()));
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(20);
  view->Convert();
  EXPECT_GE(ticks, 5);  // events were handled while the editor ran
  EXPECT_EQ(Read(folder / "out.txt"), "Q1                 1.000         2.000       3.000\r\n");
  EXPECT_EQ(prompts.shown, std::vector<std::string>{"Converted successfully"});

  // An editor that cannot be started leaves the document as parsed.
  document.document_element().child("conversion").child("xmleditor").attribute("name") =
      (folder / "no-such-editor").c_str();
  auto second = Open();
  Choose(second->TargetType(), "POINTS");
  ChooseFormat(second->TargetFormat(), "Point list (fixed columns)");
  second->SourceFile()->setText(QString::fromStdString((folder / "in.csv").string()));
  second->TargetFile()->setText(QString::fromStdString((folder / "out2.txt").string()));
  second->Convert();
  EXPECT_EQ(Read(folder / "out2.txt"), "P1                 1.000         2.000       3.000\r\n");
}

TEST_F(ConvertViewTest, CaptionsFollowTheTranslations) {
  context.translate = [](const std::string& key, const std::string& text) {
    return key == "IDC_CNV_CONVERT_BTN" ? std::string("Om&zetten") : text;
  };
  auto view = Open();
  EXPECT_EQ(view->findChild<QPushButton*>(QStringLiteral("2001"))->text(), "Om&zetten");
  EXPECT_EQ(view->findChild<QLabel*>(QStringLiteral("2010"))->text(), "File n&ame:");
  EXPECT_EQ(HelpIdOf(view->TargetFile()), 2006);
  EXPECT_EQ(HelpIdOf(view->findChild<QPushButton*>(QStringLiteral("2018"))), 2018);
}

TEST_F(ConvertViewTest, HelpShowsTheConvertPage) {
  std::vector<std::filesystem::path> pages;
  context.showHelp = [&](const std::filesystem::path& page) { pages.push_back(page); };
  auto view = Open();
  QPushButton* help = view->findChild<QPushButton*>(QStringLiteral("2018"));
  help->click();
  std::filesystem::create_directories(folder / "help");
  Write(folder / "help" / "convert.htm", "<html></html>");
  help->click();
  EXPECT_EQ(pages, (std::vector<std::filesystem::path>{folder / "help" / "H0000404.htm",
                                                       folder / "help" / "convert.htm"}));
}

// Message boxes as the window shows them: the icon and the text, each answered at once.
class BoxWatcher {
 public:
  BoxWatcher() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        boxes.emplace_back(box->icon(), box->text());
        box->accept();
      }
    });
    timer_.start(10);
  }
  std::vector<std::pair<QMessageBox::Icon, QString>> boxes;

 private:
  QTimer timer_;
};

TEST_F(ConvertViewTest, NameTooLongForItsColumnsShowsTheCheckAfterSuccess) {
  Translations dutch;
  ASSERT_TRUE(dutch.Load(ULVO_SHIPPED_DATA_DIR "/ulvo-nl.tft"));
  // The name is written whole; the writer says so, and reading back (which then stops at
  // the second line's northing) has nothing to add.
  const struct {
    bool translated;
    std::string success;
    std::string check;
  } cases[] = {
      {false, "Converted successfully",
       "1 value(s) do not fit their fields:\n"
       "Record 2, element NR: P1234567890 needs 11 characters, the field holds 10"},
      {true, "Conversie geslaagd",
       "1 waarde(n) passen niet in hun veld:\n"
       "Record 2, element NR: P1234567890 heeft 11 tekens nodig, het veld heeft er 10"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.translated);
    if (c.translated)
      context.translate = [&](const std::string& key, const std::string& text) {
        return dutch.Text(key, text);
      };
    std::filesystem::remove(folder / "out.txt");
    auto view = std::make_unique<CConvertView>(context);  // its own message boxes
    Choose(view->TargetType(), "POINTS");
    ChooseFormat(view->TargetFormat(), "Point list (fixed columns)");
    // Ten characters fit the name's columns; the eleventh of the second name does not.
    Write(folder / "in.csv", "P123456789,1,2,3,\r\nP1234567890,4,5,6,\r\n");
    view->SourceFile()->setText(QString::fromStdString((folder / "in.csv").string()));
    view->TargetFile()->setText(QString::fromStdString((folder / "out.txt").string()));
    BoxWatcher watcher;
    view->Convert();
    ASSERT_EQ(watcher.boxes.size(), 2u);
    EXPECT_EQ(watcher.boxes[0].first, QMessageBox::Information);
    EXPECT_EQ(watcher.boxes[0].second.toStdString(), c.success);
    EXPECT_EQ(watcher.boxes[1].first, QMessageBox::Warning);
    EXPECT_EQ(watcher.boxes[1].second.toStdString(), c.check);
  }
}

// "Error while converting" says where and why; a source that cannot be read is found
// before anything is asked or written.
TEST_F(ConvertViewTest, FailureShowsWhyUnderTheMessage) {
  const std::string in = (folder / "missing.csv").string();
  Write(folder / "out.csv", "keep");
  auto view = std::make_unique<CConvertView>(context);  // its own message boxes
  Choose(view->TargetType(), "POINTS");
  ChooseFormat(view->TargetFormat(), "Point list (comma-separated)");
  view->SourceFile()->setText(QString::fromStdString(in));
  view->TargetFile()->setText(QString::fromStdString((folder / "out.csv").string()));
  BoxWatcher watcher;
  view->Convert();
  ASSERT_EQ(watcher.boxes.size(), 1u);  // no replace question before it
  EXPECT_EQ(watcher.boxes[0].first, QMessageBox::Warning);
  EXPECT_EQ(watcher.boxes[0].second.toStdString(),
            "Error while converting\n\n" + in + ": No such file or directory");
  EXPECT_EQ(Read(folder / "out.csv"), "keep");
  // A failed conversion has no target to compare with its source.
  EXPECT_FALSE(view->PlanButton()->isEnabled());
  EXPECT_FALSE(view->LastConversion());
}

TEST_F(ConvertViewTest, ClosingSavesTheChoicesBeforeTheWindowGoesAway) {
  auto view = Open();
  view->TargetFile()->setText(QStringLiteral("/data/t.txt"));
  EXPECT_TRUE(view->close());
  // The window still exists: the settings already hold what it showed.
  EXPECT_STREQ(document.document_element()
                   .child("conversion")
                   .child("dialog")
                   .child("to")
                   .child("file")
                   .attribute("name")
                   .value(),
               "/data/t.txt");
}

// The dialog's answers, queued; every message recorded.
class ScriptedGisPrompts : public GisPrompts {
 public:
  bool Ask(GisDialogOptions& options, bool importing) override {
    proposed.push_back(options);
    kinds.push_back(importing);
    if (answers.empty()) return false;
    options = answers.front();
    answers.pop_front();
    return true;
  }
  void ShowMessage(const Message& m, bool) override { shown.push_back(m.text.key); }
  bool AskReplace(const Message&) override { return true; }
  std::deque<GisDialogOptions> answers;
  std::vector<GisDialogOptions> proposed;
  std::vector<bool> kinds;
  std::vector<std::string> shown;
};

// "to GIS..." waits for a conversion and exports its source or target; "from GIS..." writes
// a GIS file's points as the target.
TEST_F(ConvertViewTest, ToGisAfterAConversionAndFromGisAsTheSource) {
  auto view = Open();
  ScriptedGisPrompts gis;
  view->SetGisPrompts(&gis);
  EXPECT_EQ(view->ToGisButton()->text(), "to &GIS...");
  EXPECT_EQ(view->FromGisButton()->text(), "from GI&S...");
  EXPECT_FALSE(view->ToGisButton()->isEnabled());
  Choose(view->TargetType(), "POINTS");
  ChooseFormat(view->TargetFormat(), "Point list (fixed columns)");
  view->ImportFromGis();
  EXPECT_EQ(gis.shown, std::vector<std::string>{kGisNeedsTarget.key});

  Write(folder / "in.csv", "P1,463000.125,155000.5,3,Mark\r\n");
  view->SourceFile()->setText(QString::fromStdString((folder / "in.csv").string()));
  view->TargetFile()->setText(QString::fromStdString((folder / "out.txt").string()));
  view->Convert();
  ASSERT_TRUE(view->ToGisButton()->isEnabled());
  ASSERT_EQ(view->ToGisMenu()->actions().size(), 2);
  const std::string kml = (folder / "job.kml").string();
  gis.shown.clear();
  gis.answers = {{GisFormat::kKml, kml, "EPSG:28992", false}};
  view->ToGisMenu()->actions()[1]->trigger();  // the target
  EXPECT_EQ(gis.shown, std::vector<std::string>{kGisWritten.key});
  EXPECT_EQ(gis.proposed.back().path, (folder / "out.gpkg").string());
  EXPECT_EQ(ReadGisCrs(document.document_element()), "EPSG:28992");

  // Back from the KML into the target's fixed columns; the system proposed again.
  gis.shown.clear();
  gis.answers = {{GisFormat::kGeoPackage, kml, "EPSG:28992", false}};
  view->FromGisButton()->click();
  EXPECT_EQ(gis.proposed.back().crs, "EPSG:28992");
  EXPECT_TRUE(gis.kinds.back());
  EXPECT_EQ(gis.shown, std::vector<std::string>{kGisImported.key});
  EXPECT_EQ(Read(folder / "out.txt"),
            "P1            463000.125    155000.500       3.000 Mark\r\n");
}

TEST_F(ConvertViewTest, GisDialogGivesBackWhatItShows) {
  GisDialog dialog(context);
  QString filter;
  dialog.SetFileChooser([&](bool save, const QString&, const QString& f) {
    filter = f;
    return save ? QStringLiteral("/data/chosen.shp") : QStringLiteral("/data/design.kml");
  });
  const GisDialogOptions shown{GisFormat::kShapefile, "/data/job.shp", "EPSG:28992", true};
  dialog.Setup(shown, false);
  EXPECT_EQ(dialog.CrsName->text(), "EPSG:28992: Amersfoort / RD New");
  const GisDialogOptions back = dialog.options();
  EXPECT_EQ(back.format, shown.format);
  EXPECT_EQ(back.path, shown.path);
  EXPECT_EQ(back.crs, shown.crs);
  EXPECT_TRUE(back.layerByCode);
  // Another format changes the file's extension.
  dialog.FormatBox->setCurrentIndex(dialog.FormatBox->findData(static_cast<int>(GisFormat::kKml)));
  EXPECT_EQ(dialog.options().path, "/data/job.kml");
  dialog.BrowseButton->click();
  EXPECT_EQ(filter, "KML (*.kml)");
  EXPECT_EQ(dialog.options().path, "/data/chosen.shp");
  dialog.CrsEdit->setText(QStringLiteral("RD New"));
  dialog.Search();
  ASSERT_GT(dialog.CrsList->count(), 0);
  dialog.CrsList->setCurrentRow(0);
  EXPECT_EQ(dialog.options().crs, "EPSG:28992");

  // An import asks for no format and no layers.
  dialog.Setup(shown, true);
  EXPECT_TRUE(dialog.FormatBox->isHidden());
  EXPECT_TRUE(dialog.LayerByCodeBox->isHidden());
  dialog.BrowseButton->click();
  EXPECT_EQ(dialog.options().path, "/data/design.kml");
  EXPECT_EQ(dialog.windowTitle(), "Import from GIS");
}

TEST(MergeView, CaptionsDefaultOrTranslatedAndOnlyCloseActs) {
  EnsureApplication();
  TaskContext context;
  CMergeView plain(context);
  EXPECT_EQ(plain.windowTitle(), "Merge");
  EXPECT_EQ(plain.findChild<QLabel*>(QStringLiteral("2119"))->text(), "Fi&le:");
  EXPECT_EQ(plain.findChild<QLabel*>(QStringLiteral("2115"))->text(), "F&ile:");

  context.translate = [](const std::string& key, const std::string& text) {
    return key == "DM_STROUTPUTFILE"   ? std::string("Uitvoer:")
           : key == "DM_STROUTPUTTYPE" ? std::string("Soort:")
                                       : text;
  };
  CMergeView translated(context);
  EXPECT_EQ(translated.findChild<QLabel*>(QStringLiteral("2119"))->text(), "Uitvoer:");
  EXPECT_EQ(translated.findChild<QLabel*>(QStringLiteral("2120"))->text(), "Soort:");
  EXPECT_EQ(translated.findChild<QLabel*>(QStringLiteral("2115"))->text(), "F&ile:");
  EXPECT_EQ(translated.findChild<QLabel*>(QStringLiteral("2116"))->text(), "T&ype:");
  // The mnemonic leads to the list, so the "&" is not shown as a character.
  EXPECT_EQ(translated.findChild<QLabel*>(QStringLiteral("2116"))->buddy(),
            translated.findChild<QWidget*>(QStringLiteral("2108")));
  EXPECT_FALSE(translated.findChild<QPushButton*>(QStringLiteral("2102"))->isEnabled());
  bool closed = false;
  QObject::connect(&translated, &CMergeView::CloseRequested, [&] { closed = true; });
  translated.findChild<QPushButton*>(QStringLiteral("2123"))->click();
  EXPECT_TRUE(closed);
}

}  // namespace
}  // namespace ulvo
