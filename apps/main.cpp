#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

#include "commands.hpp"

namespace {

using velmoradine::cli::Arguments;

struct Command {
  std::string_view name;
  // What follows the name on the command line.
  std::string_view synopsis;
  std::string_view description;
  int (*run)(const Arguments&);
};

constexpr std::array kCommands = {
    Command{"info", "", "Prints the kit's version and what it found of the host's configuration.",
            velmoradine::cli::infoCommand},
    Command{"make-sample", "OUT.mp4 [--seconds N] [--size WIDTHxHEIGHT]",
            "Writes a short H.264 sample video drawn by the kit's renderer.\n"
            "  --seconds N             length, above 0 and up to 600 (default 4)\n"
            "  --size WIDTHxHEIGHT     even sizes from 16 to 4096 (default 540x960)",
            velmoradine::cli::makeSampleCommand},
    Command{"outlets", "",
            "Lists the share outlets in the share sheet's order and, for the main bundle in\n"
            "use, whether each is offered or which Info.plist requirement it lacks.",
            velmoradine::cli::outletsCommand},
    Command{"probe", "VIDEO",
            "Prints, as JSON, what the kit reads of a video file: duration, sizes,\n"
            "rotation, frame rate, codec, pixel format, colour tags and audio.",
            velmoradine::cli::probeCommand},
    Command{"render", "UGC.json OUT.mp4",
            "Renders a UGC described in JSON (docs/ugc.md) to one video, the way a host\n"
            "application does, showing each scene's outcome and the join as they happen.",
            velmoradine::cli::renderCommand},
    Command{"render-layers", "DESCRIPTION.json OUT.png",
            "Renders a JSON description of a layer tree to a PNG.",
            velmoradine::cli::renderLayersCommand},
    Command{
        "share", "VIDEO --title TEXT [--keep-link | --outlet NAME [--answer yes|no]]",
        "Shares a video the way a host application does and prints its public link.\n"
        "  --title TEXT            the share's title\n"
        "  --keep-link             leave the link live instead of deleting the share\n"
        "  --outlet NAME           then share it to this outlet (see \"velmoradine outlets\"),\n"
        "                          headless, and print \"Shared to NAME (strategies: ...)\",\n"
        "                          the outlet's failure or \"Cancelled\"; the link stays only\n"
        "                          when the outlet handed it out; exits 0 only on success\n"
        "  --answer yes|no         the answer to each question the outlet asks",
        velmoradine::cli::shareCommand},
    Command{"sheet",
            "VIDEO --title TEXT [--screenshot OUT.png] [--appearance light|dark] "
            "[--screen 375x812@3] [--tap NAME] [--window]",
            "Presents the share sheet for a video on a headless screen, against the\n"
            "configured backend, the way a host application does.\n"
            "  --title TEXT            the shared content's title\n"
            "  --screenshot OUT.png    saves what the screen shows\n"
            "  --appearance MODE       light (default) or dark\n"
            "  --screen WxH@S          the screen's points and scale (default 375x812@3)\n"
            "  --tap NAME              taps the outlet with that canonical name, as a finger\n"
            "                          would, and waits for what it leads to\n"
            "  --window                shows the screen in a desktop window until closed",
            velmoradine::cli::sheetCommand},
    Command{"thumbnail", "VIDEO OUT.jpg",
            "Writes the preview image the share pipeline uploads for a video.",
            velmoradine::cli::thumbnailCommand},
};

const Command* findCommand(std::string_view name) {
  auto found = std::ranges::find(kCommands, name, &Command::name);
  return found == kCommands.end() ? nullptr : &*found;
}

void printSynopsis(std::FILE* stream, const Command& command) {
  std::fprintf(stream, "usage: velmoradine %.*s%s%.*s\n", int(command.name.size()),
               command.name.data(), command.synopsis.empty() ? "" : " ",
               int(command.synopsis.size()), command.synopsis.data());
}

void printOverview(std::FILE* stream) {
  std::fprintf(stream,
               "usage: velmoradine COMMAND [ARGS...]\n"
               "       velmoradine COMMAND --help\n"
               "commands:\n");
  for (const Command& command : kCommands) {
    std::fprintf(stream, "  %-14.*s %.*s\n", int(command.name.size()), command.name.data(),
                 int(command.synopsis.size()), command.synopsis.data());
  }
}

int printHelp(const Command& command) {
  printSynopsis(stdout, command);
  std::printf("\n%.*s\n", int(command.description.size()), command.description.data());
  return 0;
}

bool asksForHelp(const Arguments& arguments) {
  return std::ranges::any_of(
      arguments, [](const std::string& word) { return word == "--help" || word == "-h"; });
}

}  // namespace

namespace velmoradine::cli {

int usageError(std::string_view name) {
  if (const Command* command = findCommand(name)) printSynopsis(stderr, *command);
  std::fprintf(stderr, "Run \"velmoradine %.*s --help\" for details.\n", int(name.size()),
               name.data());
  return 2;
}

}  // namespace velmoradine::cli

int main(int argc, char** argv) {
  const Arguments arguments(argv + 1, argv + argc);
  if (arguments.empty()) {
    printOverview(stderr);
    return 2;
  }
  const std::string& name = arguments.front();
  if (name == "--help" || name == "-h" || name == "help") {
    const Command* topic = arguments.size() > 1 ? findCommand(arguments[1]) : nullptr;
    if (topic) return printHelp(*topic);
    printOverview(stdout);
    return 0;
  }
  const Command* command = findCommand(name);
  if (!command) {
    std::fprintf(stderr, "velmoradine: unknown command \"%s\"\n", name.c_str());
    printOverview(stderr);
    return 2;
  }
  const Arguments rest(arguments.begin() + 1, arguments.end());
  if (asksForHelp(rest)) return printHelp(*command);
  return command->run(rest);
}
