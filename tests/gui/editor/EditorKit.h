#pragma once

// What the editor suites share: the real window with its file dialogs answered from a
// queue, a fake message service, and small BMP files to use as preview pictures.

#include <cstdint>
#include <cstring>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

#include "common/Profile.h"
#include "gui/editor/EditorWindow.h"
#include "script/CommandCatalogue.h"
#include "support/FakeMessageService.h"

namespace km::guitest {

class TestEditor final : public gui::EditorWindow {
public:
  TestEditor(Profile& profile, MessageService& messages) : EditorWindow(profile, messages) {}

  std::deque<QString> openAnswers;  // empty string: Cancel
  std::deque<QString> saveAnswers;
  int openAsked = 0;
  int saveAsked = 0;
  std::deque<bool> editAnswers;  // false: Cancel; empty: OK
  int editAsked = 0;

protected:
  // Stands in for the parameter dialog: OK stores what the dialog shows on opening (the
  // catalogue's defaults for unset fields, then its opening rules).
  bool editParameters(int index) override {
    ++editAsked;
    CScriptCommand* command = script().GetAt(index);
    if (command == nullptr) return false;
    if (!editAnswers.empty()) {
      const bool ok = editAnswers.front();
      editAnswers.pop_front();
      if (!ok) return false;
    }
    const Dib* image = workingImage();
    const int w = image ? image->width() : 0;
    const int h = image ? image->height() : 0;
    if (const CommandInfo* info = FindCommand(command->Code)) {
      for (const FieldDef& entry : info->fields) {
        if (IsIntField(entry.field)) {
          command->*IntMember(entry.field) = OpeningValue(entry, command->*IntMember(entry.field), w, h);
        } else if (IsRealField(entry.field)) {
          command->*RealMember(entry.field) = OpeningReal(entry, command->*RealMember(entry.field));
        }
      }
    }
    return true;
  }

  QString askOpenPath(const QString&) override {
    ++openAsked;
    if (openAnswers.empty()) return {};
    QString a = openAnswers.front();
    openAnswers.pop_front();
    return a;
  }
  QString askSavePath(const QString&) override {
    ++saveAsked;
    if (saveAnswers.empty()) return {};
    QString a = saveAnswers.front();
    saveAnswers.pop_front();
    return a;
  }
};

// Waits until the window's image work and any script test have ended.
inline bool WaitIdle(const gui::EditorWindow& editor, int ms = 20000) {
  return QTest::qWaitFor([&] { return !editor.isWorking() && !editor.isTesting(); }, ms);
}

// Selects catalogue entry `code` and adds it.
inline void AddFromCatalogue(gui::EditorWindow& editor, int code) {
  auto* list = editor.findChild<QListWidget*>(QStringLiteral("commandList"));
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->data(Qt::UserRole).toInt() == code) {
      list->setCurrentRow(i, QItemSelectionModel::ClearAndSelect);
      break;
    }
  }
  editor.addCommand();
}

// A 24-bit BMP file of width x height whose every pixel is (r, g, b).
inline void WriteSolidBmp(const std::string& path, int width, int height, int r, int g, int b) {
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  const std::size_t imageSize = stride * static_cast<std::size_t>(height);
  std::vector<std::uint8_t> bytes(54 + imageSize, 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  bytes[0] = 'B';
  bytes[1] = 'M';
  put32(2, static_cast<std::uint32_t>(bytes.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  bytes[26] = 1;
  bytes[28] = 24;
  put32(34, static_cast<std::uint32_t>(imageSize));
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bytes.data() + 54 + stride * static_cast<std::size_t>(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<std::uint8_t>(b);
      row[3 * x + 1] = static_cast<std::uint8_t>(g);
      row[3 * x + 2] = static_cast<std::uint8_t>(r);
    }
  }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

// The blue, green, red bytes of the bottom-left pixel of a 24-bit image.
inline std::vector<int> FirstPixel(const Dib* dib) {
  const std::uint8_t* p = dib->row(0);
  return {p[0], p[1], p[2]};
}

}  // namespace km::guitest
