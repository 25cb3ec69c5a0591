// A fresh folder for sockets, removed with what is left in it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace handbacktest {

class TempSocketDir {
  public:
    TempSocketDir() {
        // Short, under /tmp: socket names have a length limit of 107 bytes.
        std::string pattern = "/tmp/hbtest-XXXXXX";
        if (::mkdtemp(pattern.data())) path_ = pattern;
        EXPECT_FALSE(path_.empty()) << "mkdtemp failed";
    }
    ~TempSocketDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

}  // namespace handbacktest
