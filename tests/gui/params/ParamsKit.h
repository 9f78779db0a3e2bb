#pragma once

// What the parameter dialog suites share: preview pictures, a script with one command,
// and running EditParameters while a test acts on the dialog it opens.

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QSpinBox>
#include <QTest>

#include "common/MessageService.h"
#include "common/Profile.h"
#include "dialogs/ModalDriver.h"
#include "gui/dialogs/EditParameters.h"
#include "imaging/Dib.h"
#include "script/Script.h"
#include "support/FakeMessageService.h"
#include "support/GuiTestEnv.h"

namespace km::guitest {

// The built-in preview picture, 276 x 187 at 24 bits.
inline DibHandle BuiltInPicture() {
  QFile file(QStringLiteral(KILNMARK_SOURCE_DIR "/res/Preview.bmp"));
  if (!file.open(QIODevice::ReadOnly)) return nullptr;
  const QByteArray bytes = file.readAll();
  constexpr qsizetype kFileHeader = 14;
  if (bytes.size() <= kFileHeader) return nullptr;
  std::vector<std::uint8_t> packed(static_cast<std::size_t>(bytes.size() - kFileHeader));
  std::memcpy(packed.data(), bytes.constData() + kFileHeader, packed.size());
  DibHandle dib;
  return Dib::FromBytes(std::move(packed), &dib) == kOk ? std::move(dib) : nullptr;
}

// A picture of `bits` per pixel with a diagonal pattern; 8 bits get a colour table of
// 256 reds (so it is not greyscale).
inline DibHandle Pattern(int width, int height, int bits) {
  DibHandle dib;
  if (Dib::Create(width, height, bits, 0, &dib) != kOk) return nullptr;
  if (bits <= 8) {
    for (int i = 0; i < dib->colorCount(); ++i) dib->colors()[i] = RgbQuad{0, 0, static_cast<std::uint8_t>(i), 0};
  }
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = dib->row(y);
    for (std::size_t i = 0; i < dib->stride(); ++i) row[i] = static_cast<std::uint8_t>((i * 7 + y * 3) & 0xFF);
  }
  return dib;
}

// A script holding one fresh command (every field unset) of `code`.
inline std::unique_ptr<CScript> OneCommand(int code) {
  auto script = std::make_unique<CScript>();
  script->InsertAfter(std::make_unique<CScriptCommand>(code), -1);
  return script;
}

// Runs EditParameters on command 0 while `act` works on the dialog it opens.
inline bool Edit(CScript& script, const Dib* preview, MessageService& messages,
                 const std::function<void(QDialog*)>& act, Profile* profile = nullptr) {
  MemoryProfile own;
  WhenModal<QDialog>(act);
  return gui::EditParameters(nullptr, script, 0, preview, profile ? *profile : own, messages);
}

template <typename T = QWidget>
T* Ctl(const QWidget* dialog, int id) {
  return dialog->findChild<T*>(QStringLiteral("ctl%1").arg(id));
}

inline void Press(QDialog* dialog, const char* name) {
  if (auto* b = dialog->findChild<QAbstractButton*>(QString::fromLatin1(name))) b->click();
}

// Replaces the text of a number box as typing would.
inline void Type(QAbstractSpinBox* box, const QString& text) {
  box->setFocus();
  box->selectAll();
  QTest::keyClick(box, Qt::Key_Delete);
  QTest::keyClicks(box, text);
}

inline bool SameFields(const CScriptCommand& a, const CScriptCommand& b) {
  return a.Code == b.Code && a.Int1 == b.Int1 && a.Int2 == b.Int2 && a.Int3 == b.Int3 && a.Int4 == b.Int4 &&
         a.Int5 == b.Int5 && std::memcmp(&a.Real1, &b.Real1, sizeof(float)) == 0 &&
         std::memcmp(&a.Real2, &b.Real2, sizeof(float)) == 0 && a.Text1 == b.Text1 && a.Text2 == b.Text2 &&
         a.Color1 == b.Color1 && a.Color2 == b.Color2;
}

}  // namespace km::guitest
