#include "gui/editor/CommandClipboard.h"

#include <cstdint>
#include <vector>

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "script/ClipboardBlock.h"
#include "StringTable.h"

namespace km::gui {
namespace {

constexpr int kCannotEmpty = 2088;
constexpr int kInUse = 2089;
constexpr int kCannotSet = 2090;
constexpr int kCannotGet = 2091;

}  // namespace

QString CommandMimeType() {
  return QStringLiteral("application/x-") +
         QString::fromLatin1(kClipboardFormatName).toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
}

bool CopyCommand(const CScriptCommand& command, MessageService& messages) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) {
    messages.message(LoadString(kInUse), MessageIcon::Exclamation);
    return false;
  }
  clipboard->clear();
  const QMimeData* left = clipboard->mimeData();
  if (left != nullptr && left->hasFormat(CommandMimeType())) {
    messages.message(LoadString(kCannotEmpty), MessageIcon::Exclamation);
    return false;
  }
  const std::vector<std::uint8_t> block = EncodeClipboardBlock(command);
  auto* data = new QMimeData;
  data->setData(CommandMimeType(),
                QByteArray(reinterpret_cast<const char*>(block.data()), static_cast<qsizetype>(block.size())));
  clipboard->setMimeData(data);  // the clipboard owns it now
  const QMimeData* now = clipboard->mimeData();
  if (now == nullptr || now->data(CommandMimeType()).size() != static_cast<qsizetype>(block.size())) {
    messages.message(LoadString(kCannotSet), MessageIcon::Exclamation);
    return false;
  }
  return true;
}

bool PasteCommand(CScriptCommand* command, MessageService& messages) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) {
    return false;
  }
  const QMimeData* data = clipboard->mimeData();
  if (data == nullptr || !data->hasFormat(CommandMimeType())) {
    return false;
  }
  const QByteArray block = data->data(CommandMimeType());
  if (block.isEmpty()) {
    messages.message(LoadString(kCannotGet), MessageIcon::Exclamation);
    return false;
  }
  return DecodeClipboardBlock(reinterpret_cast<const std::uint8_t*>(block.constData()),
                              static_cast<std::size_t>(block.size()), command);
}

}  // namespace km::gui
