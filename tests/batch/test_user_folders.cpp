// Where the user's settings, state and data go: the XDG variable when it holds an
// absolute path, else the folder under HOME, else under /tmp.

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "common/UserFolders.h"

namespace km {
namespace {

// Sets (or, with nullopt, unsets) an environment variable for one scope.
class EnvValue {
public:
  EnvValue(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~EnvValue() {
    if (saved_) {
      ::setenv(name_, saved_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  EnvValue(const EnvValue&) = delete;
  EnvValue& operator=(const EnvValue&) = delete;

private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST(UserBaseFolder, AbsoluteVariableThenHomeThenTmp) {
  EnvValue home("HOME", "/home/ann");
  {
    EnvValue state("XDG_STATE_HOME", "/srv/state");
    EXPECT_EQ(UserBaseFolder("XDG_STATE_HOME", ".local/state"), "/srv/state");
  }
  {
    EnvValue state("XDG_STATE_HOME", "relative/state");  // ignored
    EXPECT_EQ(UserBaseFolder("XDG_STATE_HOME", ".local/state"), "/home/ann/.local/state");
  }
  EnvValue config("XDG_CONFIG_HOME", std::nullopt);
  EXPECT_EQ(UserBaseFolder("XDG_CONFIG_HOME", ".config"), "/home/ann/.config");
  {
    EnvValue empty("HOME", "");
    EXPECT_EQ(UserBaseFolder("XDG_CONFIG_HOME", ".config"), "/tmp/.config");
  }
  EnvValue none("HOME", std::nullopt);
  EXPECT_EQ(UserBaseFolder("XDG_CONFIG_HOME", ".config"), "/tmp/.config");
}

}  // namespace
}  // namespace km
