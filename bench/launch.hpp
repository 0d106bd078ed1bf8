// How the benchmark starts a program: with no arguments, its output thrown away,
// this process's environment with SDL's video driver and the preloaded library
// (none if empty) set as given, and any more variables. Everything is made when a
// Launch is built, so that timing spawn() times the start alone.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

class Launch {
public:
    Launch(const std::string& program, const std::string& driver, const std::string& preload,
           const std::vector<std::string>& more = {})
        : name_(program)
    {
        for (char** e = environ; *e != nullptr; ++e) {
            if (std::strncmp(*e, "SDL_VIDEODRIVER=", 16) != 0 &&
                std::strncmp(*e, "LD_PRELOAD=", 11) != 0) {
                env_.emplace_back(*e);
            }
        }
        env_.push_back("SDL_VIDEODRIVER=" + driver);
        if (!preload.empty()) {
            env_.push_back("LD_PRELOAD=" + preload);
        }
        env_.insert(env_.end(), more.begin(), more.end());
        for (std::string& e : env_) {
            envp_.push_back(e.data());
        }
        envp_.push_back(nullptr);
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions_, 2, "/dev/null", O_WRONLY, 0);
    }
    ~Launch()
    {
        posix_spawn_file_actions_destroy(&actions_);
    }
    Launch(const Launch&) = delete;
    Launch& operator=(const Launch&) = delete;

    // The program's pid, or -1 where it could not be started.
    pid_t spawn()
    {
        char* argv[] = {name_.data(), nullptr};
        pid_t pid = 0;
        return posix_spawn(&pid, name_.c_str(), &actions_, nullptr, argv, envp_.data()) == 0 ? pid
                                                                                             : -1;
    }

private:
    std::string name_;
    std::vector<std::string> env_;
    std::vector<char*> envp_;
    posix_spawn_file_actions_t actions_{};
};
