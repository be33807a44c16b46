// velmoradine-devserver: the reference backend for running the kit locally.

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <iostream>
#include <string_view>
#include <thread>
#include <vector>

#include "server/devserver.hpp"

int main(int argc, char** argv) {
  using namespace velmoradine::devserver;

  std::vector<std::string_view> arguments(argv + 1, argv + argc);
  auto options = parseOptions(arguments);
  if (!options) {
    std::cerr << "velmoradine-devserver: " << options.error() << "\n\n" << usage();
    return 2;
  }
  if (options->help) {
    std::cout << usage();
    return 0;
  }

  // Signals are taken by one thread with sigwait; blocking them before any
  // other thread exists keeps them away from the HTTP workers.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  try {
    DevServer server(std::move(*options));
    std::string baseURL = server.bind();
    std::printf("%s\n", baseURL.c_str());
    std::fflush(stdout);

    // SIGUSR1 is only the way to wake this thread when serving ends for
    // another reason.
    std::thread signalThread([&server, &signals] {
      int received = 0;
      sigwait(&signals, &received);
      server.stop();
    });
    bool stoppedOnRequest = server.run();
    pthread_kill(signalThread.native_handle(), SIGUSR1);
    signalThread.join();
    if (!stoppedOnRequest) {
      std::cerr << "velmoradine-devserver: stopped accepting connections unexpectedly\n";
      return 1;
    }
  } catch (const std::exception& error) {
    std::cerr << "velmoradine-devserver: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
