#include "script/Script.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "StringTable.h"
#include "script/CommandCatalogue.h"

namespace km {

CScriptCommand* CScript::GetAt(int index) {
  return index >= 0 && index < GetCount() ? commands_[static_cast<std::size_t>(index)].get()
                                          : nullptr;
}

const CScriptCommand* CScript::GetAt(int index) const {
  return index >= 0 && index < GetCount() ? commands_[static_cast<std::size_t>(index)].get()
                                          : nullptr;
}

std::unique_ptr<CScriptCommand> CScript::SetAt(int index, std::unique_ptr<CScriptCommand> command) {
  if (index < 0 || index >= GetCount() || !command) {
    return command;
  }
  std::swap(commands_[static_cast<std::size_t>(index)], command);
  return command;
}

bool CScript::Swap(int a, int b) {
  if (a < 0 || a >= GetCount() || b < 0 || b >= GetCount()) {
    return false;
  }
  std::swap(commands_[static_cast<std::size_t>(a)], commands_[static_cast<std::size_t>(b)]);
  return true;
}

CScriptCommand* CScript::InsertAfter(std::unique_ptr<CScriptCommand> command, int index) {
  if (!command) {
    return nullptr;
  }
  CScriptCommand* raw = command.get();
  std::size_t position;
  if (index < 0) {
    position = 0;
  } else if (index >= GetCount() - 1) {
    position = commands_.size();
  } else {
    position = static_cast<std::size_t>(index) + 1;
  }
  commands_.insert(commands_.begin() + static_cast<std::ptrdiff_t>(position), std::move(command));
  return raw;
}

CScriptCommand* CScript::Append(std::unique_ptr<CScriptCommand> command) {
  if (!command) {
    return nullptr;
  }
  commands_.push_back(std::move(command));
  return commands_.back().get();
}

void CScript::RemoveAt(int index) {
  if (index >= 0 && index < GetCount()) {
    commands_.erase(commands_.begin() + index);
  }
}

CScriptCommand* CScript::FindCode(int code) {
  for (auto& c : commands_) {
    if (c->Code == code) {
      return c.get();
    }
  }
  return nullptr;
}

const CScriptCommand* CScript::FindCode(int code) const {
  return const_cast<CScript*>(this)->FindCode(code);
}

int CScript::IndexOf(const CScriptCommand* command) const {
  if (!command) {
    return -1;
  }
  for (std::size_t i = 0; i < commands_.size(); ++i) {
    if (commands_[i].get() == command) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// ---- Catalogue ----------------------------------------------------------------------

namespace {

bool LessNoCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::string CommandName(int code) { return IsCommandCode(code) ? LoadString(code) : std::string(); }

bool HasParameterDialog(int code) {
  const CommandInfo* info = FindCommand(code);
  return info && info->hasDialog();
}

const std::vector<int>& CatalogueDisplayOrder() {
  static const std::vector<int> order = [] {
    std::vector<std::pair<std::string, int>> entries;
    for (int code = kFirstCommandCode; code <= kLastCommandCode; ++code) {
      entries.emplace_back(LoadString(code), code);
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
      if (LessNoCase(a.first, b.first)) return true;
      if (LessNoCase(b.first, a.first)) return false;
      return a.second < b.second;
    });
    std::vector<int> codes;
    for (const auto& e : entries) codes.push_back(e.second);
    return codes;
  }();
  return order;
}

}  // namespace km
