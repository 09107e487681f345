#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// Runs tonvela-cli in a shell and captures what it prints, for the command-line tests.
namespace tonvela::testing {

struct CliResult {
    int exitCode = -1;
    std::string out; // standard output
    std::string err; // standard error
};

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// A fresh temporary folder per test, removed afterwards.
class CliTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              ("tonvela-cli-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    // `args` is pasted into a shell command line after the tool's path.
    CliResult run(const std::string& args) const
    {
        const std::string errFile = path(".stderr");
        const std::string cmd = std::string("'") + TONVELA_CLI + "' " + args + " 2>'" + errFile + "'";
        CliResult r;
        FILE* pipe = ::popen(cmd.c_str(), "r");
        if (!pipe)
            return r;
        std::array<char, 4096> buf{};
        std::size_t n = 0;
        while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0)
            r.out.append(buf.data(), n);
        const int status = ::pclose(pipe);
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.err = readFile(errFile);
        return r;
    }

    std::filesystem::path dir;
};

} // namespace tonvela::testing
