// Every parameter dialog opened on a freshly added command: OK stores the catalogue
// defaults after the opening clamps, Cancel stores nothing; titles, labels and the
// colour choosers' captions.

#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include "gui/dialogs/KivColorDialog.h"
#include "gui/dialogs/params/PaletteFileDialog.h"
#include "gui/dialogs/params/ParameterDialog.h"
#include "params/ParamsKit.h"

using namespace km;
using namespace km::guitest;
using km::gui::ParameterDialog;

namespace {

constexpr std::int32_t U = kUnsetParam;

struct Expected {
  int code;
  std::array<std::int32_t, 5> ints;
  float real = kUnsetReal;
};

// What OK stores for a fresh command opened on the 276 x 187 built-in picture: the
// defaults of the parameter table, posterize and solarize clamped to their ranges, the
// free angle raised to 1, the canvas raised to the picture's size.
const Expected kDefaults[] = {
    {501, {0, 0, 100, 100, U}},
    {502, {0, 0, U, U, U}},
    {503, {0, 0, 0, U, U}},
    {504, {0, 0, 0, U, U}},
    {505, {100, 50, 0, U, U}},
    {508, {1, 0, 0, U, U}},
    {509, {5, 5, 5, 5, 0}},
    {510, {1, 276, 187, U, U}},
    {511, {U, U, U, U, U}, 1.2f},
    {516, {7, U, U, U, U}},
    {517, {254, U, U, U, U}},
    {519, {256, 0, 1, 0, 0}},
    {520, {0, 0, 0, 0, U}},
    {521, {0, 0, 0, U, U}},
    {522, {0, 0, 0, 0, U}},
    {524, {50, 0, U, U, U}},
    {525, {30, U, U, U, U}},
    {526, {30, U, U, U, U}},
    {527, {30, U, U, U, U}},
    {528, {30, U, U, U, U}},
    {529, {30, U, U, U, U}},
    {530, {30, U, U, U, U}},
    {543, {10, 2, U, U, U}},
    {547, {0, 0, U, U, U}},
    {550, {0, 1, U, U, U}},
    {556, {1, 1, 1, U, U}},
};

// A command with a value in every field, none of them a default.
CScriptCommand Stored(int code) {
  CScriptCommand c(code);
  c.Int1 = 3;
  c.Int2 = 1;
  c.Int3 = 2;
  c.Int4 = 4;
  c.Int5 = 1;
  c.Real1 = 2.5f;
  c.Real2 = 7.0f;
  c.Text1 = "/nowhere/x.pal";
  c.Text2 = "t2";
  c.Color1 = 0x00123456;
  c.Color2 = 0x00654321;
  return c;
}

QString Text(QWidget* w) {
  if (auto* box = qobject_cast<QAbstractSpinBox*>(w)) return box->text();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  return {};
}

}  // namespace

class ParameterDialogsTest : public QObject {
  Q_OBJECT

  DibHandle picture_ = BuiltInPicture();

private slots:
  void initTestCase() { QVERIFY(picture_ != nullptr); }

  void okOnAFreshCommandStoresTheOpeningDefaults() {
    for (const Expected& e : kDefaults) {
      auto script = OneCommand(e.code);
      FakeMessageService messages;
      const bool ok = Edit(*script, picture_.get(), messages, [](QDialog* d) { Press(d, "okButton"); });
      QVERIFY2(ok, qPrintable(QString::number(e.code)));
      QVERIFY2(messages.shown.empty(), qPrintable(QString::number(e.code)));
      CScriptCommand want(e.code);
      want.Int1 = e.ints[0];
      want.Int2 = e.ints[1];
      want.Int3 = e.ints[2];
      want.Int4 = e.ints[3];
      want.Int5 = e.ints[4];
      want.Real1 = e.real;
      QVERIFY2(SameFields(*script->GetAt(0), want), qPrintable(QString::number(e.code)));
    }
  }

  void motionBlurAndSkewRefuseTheirDefaultsAndStayOpen() {
    // 548: an intensity of 0 is outside 1..40; 549: both skews 0.
    const std::pair<int, std::string> cases[] = {
        {548, "Please enter an integer between 1 and 40."},
        {549, "You must specify at least one non-zero value"},
    };
    for (const auto& [code, message] : cases) {
      auto script = OneCommand(code);
      FakeMessageService messages;
      bool stayedOpen = false;
      const bool ok = Edit(*script, picture_.get(), messages, [&](QDialog* d) {
        Press(d, "okButton");
        stayedOpen = d->isVisible();
        Press(d, "cancelButton");
      });
      QVERIFY(!ok);
      QVERIFY(stayedOpen);
      QCOMPARE(messages.shown.size(), std::size_t{1});
      QCOMPARE(messages.last().text, message);
      QVERIFY(messages.last().icon == MessageIcon::Exclamation);
      QVERIFY(SameFields(*script->GetAt(0), CScriptCommand(code)));
    }
  }

  void cancelLeavesEveryFieldAsItWas() {
    for (int code = kFirstCommandCode; code <= kLastCommandCode; ++code) {
      if (!HasParameterDialog(code) || code == kSetOutputOptions) continue;
      for (const bool fresh : {true, false}) {
        auto script = std::make_unique<CScript>();
        script->InsertAfter(std::make_unique<CScriptCommand>(fresh ? CScriptCommand(code) : Stored(code)), -1);
        const CScriptCommand before = *script->GetAt(0);
        FakeMessageService messages;
        const bool ok = Edit(*script, picture_.get(), messages, [](QDialog* d) {
          // Change what can be changed first: Cancel must drop it.
          for (auto* box : d->findChildren<QSpinBox*>()) box->setValue(box->value() + 1);
          if (auto* b = d->findChild<QCheckBox*>()) b->toggle();
          d->reject();
        });
        QVERIFY2(!ok, qPrintable(QString::number(code)));
        QVERIFY2(SameFields(*script->GetAt(0), before), qPrintable(QString::number(code)));
      }
    }
  }

  void badIndexOrPictureAnswersFalseAndCommandsWithoutDialogTrue() {
    FakeMessageService messages;
    MemoryProfile profile;
    auto script = OneCommand(502);
    QVERIFY(!gui::EditParameters(nullptr, *script, 1, picture_.get(), profile, messages));
    QVERIFY(!gui::EditParameters(nullptr, *script, -1, picture_.get(), profile, messages));
    QVERIFY(!gui::EditParameters(nullptr, *script, 0, nullptr, profile, messages));
    auto flip = OneCommand(506);
    QVERIFY(gui::EditParameters(nullptr, *flip, 0, picture_.get(), profile, messages));
    QVERIFY(SameFields(*flip->GetAt(0), CScriptCommand(506)));
  }

  void paletteFileDialogStoresPathAndMethod() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("grey.pal"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("TAVO-PAL\n");
    file.close();
    auto script = OneCommand(518);
    FakeMessageService messages;
    QString title;
    QStringList filters;
    bool nearestChecked = false;
    const bool ok = Edit(*script, picture_.get(), messages, [&](QDialog* d) {
      auto* f = qobject_cast<gui::CPaletteFileDialog*>(d);
      QVERIFY(f != nullptr);
      title = f->windowTitle();
      filters = f->nameFilters();
      nearestChecked = Ctl<QRadioButton>(f, 1076)->isChecked();
      Ctl<QRadioButton>(f, 1078)->click();
      // Typed as a whole path, which the dialog takes without waiting for its folder
      // model (filled on a thread of its own) to list the file.
      auto* name = f->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      QVERIFY(name != nullptr);
      name->setText(path);
      d->accept();  // QFileDialog::accept, through the public base
    });
    QVERIFY(ok);
    QCOMPARE(title, QStringLiteral("Apply a New Palette"));
    QCOMPARE(filters, QStringList({QStringLiteral("PAL - Palette File (*.pal)"), QStringLiteral("All Files (*)")}));
    QVERIFY(nearestChecked);
    QCOMPARE(QString::fromStdString(script->GetAt(0)->Text1), path);
    QCOMPARE(script->GetAt(0)->Int1, 2);
  }

  void colourChoosersCarryTheirCaptions() {
    // 509 "Select Border Color", 510 "Select Background Color", 545 the chooser alone.
    const std::pair<int, QString> cases[] = {{509, QStringLiteral("Select Border Color")},
                                             {510, QStringLiteral("Select Background Color")},
                                             {545, QStringLiteral("Select Background Color")}};
    for (const auto& [code, caption] : cases) {
      auto script = OneCommand(code);
      FakeMessageService messages;
      QString seen;
      const auto choose = [&seen](QDialog* d) {
        seen = d->windowTitle();
        qobject_cast<QColorDialog*>(d)->setCurrentColor(QColor(0x11, 0x22, 0x33));
        d->accept();
      };
      const bool ok = Edit(*script, picture_.get(), messages, [&](QDialog* d) {
        if (qobject_cast<QColorDialog*>(d)) {
          choose(d);
          return;
        }
        WhenModal<QColorDialog>([&](QColorDialog* c) { choose(c); });
        Ctl<QPushButton>(d, 1038)->click();
        Press(d, "okButton");
      });
      QVERIFY(ok);
      QCOMPARE(seen, caption);
      QCOMPARE(script->GetAt(0)->Color1, 0x00332211u);
    }
  }

  void titlesAndLabelsComeFromTheStringTable() {
    const std::tuple<int, QString, int, QString> cases[] = {
        {502, QStringLiteral("Adjust Brightness/Contrast"), 101, QStringLiteral("% &Brightness:")},
        {524, QStringLiteral("Colorize Image"), 111, QStringLiteral("&Saturation:")},
        {505, QStringLiteral("Adjust Highlight/Midtone/Shadow"), 121, QStringLiteral("% &Shadow:")},
        {517, QStringLiteral("Solarize Image"), 101, QStringLiteral("&Threshold:")},
        {526, QStringLiteral("Deform: Vertical Perspective"), 101, QStringLiteral("% &Difference:")},
        {529, QStringLiteral("Deform: Pinch"), 101, QStringLiteral("% &Effect:")},
        {520, QStringLiteral("Change to 2 Colors (1 bit)"), 0, QString()},
        {522, QStringLiteral("Change to 256 Colors (8 bit)"), 0, QString()},
    };
    for (const auto& [code, title, id, label] : cases) {
      auto script = OneCommand(code);
      FakeMessageService messages;
      QString seenTitle;
      QString seenLabel;
      Edit(*script, picture_.get(), messages, [&, id = id](QDialog* d) {
        seenTitle = d->windowTitle();
        for (auto* l : d->findChildren<QLabel*>()) {
          if (id != 0 && l->buddy() == Ctl(d, id)) seenLabel = l->text();
        }
        d->reject();
      });
      QCOMPARE(seenTitle, title);
      QCOMPARE(seenLabel, label);
    }
  }

  void openingValuesAsShown() {
    // Posterize 50 shows 7; rotate shows the free angle 1 and "90"; gamma 1.20; a mosaic
    // block of 0 becomes 1; a 2-colour group with no valid choice gets its first button.
    struct Case {
      CScriptCommand command;
      int id;
      QString text;
      bool checked;
    };
    CScriptCommand mosaic(556);
    mosaic.Int1 = 0;
    mosaic.Int2 = 101;
    CScriptCommand twoColour(520);
    twoColour.Int1 = 9;
    const Case cases[] = {
        {CScriptCommand(516), 101, QStringLiteral("7"), false},
        {CScriptCommand(508), 115, QStringLiteral("1"), false},
        {CScriptCommand(508), 111, QStringLiteral("&90"), true},
        {CScriptCommand(511), 1073, QStringLiteral("1.20"), false},
        {mosaic, 101, QStringLiteral("1"), false},
        {mosaic, 111, QStringLiteral("1"), false},
        {twoColour, 101, QStringLiteral("Grey &values"), true},
    };
    for (const Case& c : cases) {
      auto script = std::make_unique<CScript>();
      script->InsertAfter(std::make_unique<CScriptCommand>(c.command), -1);
      FakeMessageService messages;
      QString text;
      bool checked = false;
      Edit(*script, picture_.get(), messages, [&](QDialog* d) {
        QWidget* w = Ctl(d, c.id);
        text = Text(w);
        if (auto* b = qobject_cast<QAbstractButton*>(w)) checked = b->isChecked();
        d->reject();
      });
      QCOMPARE(text, c.text);
      QCOMPARE(checked, c.checked);
    }
  }

  void canvasIsRaisedToThePictureSize() {
    const DibHandle big = Pattern(640, 480, 24);
    CScriptCommand canvas(510);
    canvas.Int2 = 100;
    canvas.Int3 = 100;
    CScript script;
    script.InsertAfter(std::make_unique<CScriptCommand>(canvas), -1);
    FakeMessageService messages;
    QString width;
    QString height;
    QVERIFY(Edit(script, big.get(), messages, [&](QDialog* d) {
      width = Text(Ctl(d, 1011));
      height = Text(Ctl(d, 1012));
      // Below the picture's width is refused on OK.
      Type(Ctl<QSpinBox>(d, 1011), QStringLiteral("639"));
      Press(d, "okButton");
      Type(Ctl<QSpinBox>(d, 1011), QStringLiteral("700"));
      Press(d, "okButton");
    }));
    QCOMPARE(width, QStringLiteral("640"));
    QCOMPARE(height, QStringLiteral("480"));
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QCOMPARE(messages.last().text, std::string("Please enter an integer between 640 and 32767."));
    QCOMPARE(script.GetAt(0)->Int2, 700);
    QCOMPARE(script.GetAt(0)->Int3, 480);
  }

  void outOfRangeAndUnreadableValuesKeepTheDialogOpen() {
    struct Case {
      int code;
      int id;
      QString typed;
      std::string message;
    };
    const Case cases[] = {
        {502, 111, QStringLiteral("150"), "Please enter an integer between -100 and 100."},
        {524, 101, QStringLiteral("256"), "Please enter an integer between 0 and 255."},
        {550, 111, QStringLiteral("0"), "Please enter an integer between 1 and 100."},
        {528, 101, QStringLiteral("101"), "Please enter an integer between 0 and 100."},
        {511, 1073, QStringLiteral("5"), "Please enter a number between 0.01 and 4.99."},
        {501, 1060, QStringLiteral("-"), "Please enter an integer."},
    };
    for (const Case& c : cases) {
      auto script = OneCommand(c.code);
      FakeMessageService messages;
      bool open = false;
      bool focused = false;
      QVERIFY(!Edit(*script, picture_.get(), messages, [&](QDialog* d) {
        Type(Ctl<QAbstractSpinBox>(d, c.id), c.typed);
        Press(d, "okButton");
        open = d->isVisible();
        focused = d->focusWidget() == Ctl(d, c.id);  // the window need not be active
        d->reject();
      }));
      QVERIFY2(open, qPrintable(QString::number(c.code)));
      QVERIFY(focused);
      QCOMPARE(messages.shown.size(), std::size_t{1});
      QCOMPARE(messages.last().text, c.message);
    }
    // A typed 100 is accepted by the warps although their arrows stop at 99.
    auto warp = OneCommand(527);
    FakeMessageService messages;
    QVERIFY(Edit(*warp, picture_.get(), messages, [](QDialog* d) {
      Type(Ctl<QAbstractSpinBox>(d, 101), QStringLiteral("100"));
      Press(d, "okButton");
    }));
    QCOMPARE(warp->GetAt(0)->Int1, 100);
  }
};

KM_GUI_TEST_MAIN(ParameterDialogsTest)
#include "ParameterDialogsTest.moc"
